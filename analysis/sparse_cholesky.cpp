#include "analysis/sparse_cholesky.hpp"

#include <algorithm>
#include <cassert>
#include <cholmod.h>
#include <cholmod_partition.h>
#include <cmath>
#include <cstddef>
#include <vector>

// The dense kernels of the supernodal factorization, from the BLAS and LAPACK that CHOLMOD uses
// too (OpenBLAS). Character arguments are followed by their lengths, as these libraries'
// calling convention has them.
extern "C" {
void dpotrf_(const char* uplo, const int* n, double* a, const int* lda, int* info,
             std::size_t uplo_length);
void dtrsm_(const char* side, const char* uplo, const char* transa, const char* diag, const int* m,
            const int* n, const double* alpha, const double* a, const int* lda, double* b,
            const int* ldb, std::size_t side_length, std::size_t uplo_length,
            std::size_t transa_length, std::size_t diag_length);
void dsyrk_(const char* uplo, const char* trans, const int* n, const int* k, const double* alpha,
            const double* a, const int* lda, const double* beta, double* c, const int* ldc,
            std::size_t uplo_length, std::size_t trans_length);
void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
            const double* alpha, const double* a, const int* lda, const double* b, const int* ldb,
            const double* beta, double* c, const int* ldc, std::size_t transa_length,
            std::size_t transb_length);
}

namespace pipenet::analysis {

struct SparseCholesky::Cholmod {
    cholmod_common common{};
    cholmod_factor* factor = nullptr;
    // The matrix in the order of the factor, B = A(perm, perm), lower triangle, compressed by
    // columns: CHOLMOD factorizes it as it stands, where a matrix in any other order would be
    // permuted and transposed twice on every factorization.
    std::vector<int> perm;   // B's row r is A's row perm[r]
    std::vector<int> column; // B's column starts
    std::vector<int> row;    // B's row of each entry
    std::vector<double> value;
    std::vector<int> to_b; // per entry of A's values: its position in B's
    std::vector<int> from; // per entry of B: its entry in A
    std::vector<double> rhs;
    // Whether the numeric factorization is this file's own (see factorize_supernodes) rather
    // than CHOLMOD's, and whether the last one succeeded.
    bool own_numeric = false;
    bool factored = false;
    // The own factorization's map of each entry of B (in B's order) to its place in the factor's
    // values (an int, as CHOLMOD's own offsets of the supernodes' values are), and its workspace.
    std::vector<int> to_factor;
    std::vector<int> super_of;  // per column: its supernode
    std::vector<int> local_row; // per row: its place in the supernode being factorized
    std::vector<int> head, next, done_rows, relative;
    std::vector<double> update;
    // The solve's result and workspace, kept between solves.
    cholmod_dense* x = nullptr;
    cholmod_dense* y = nullptr;
    cholmod_dense* e = nullptr;

    Cholmod() {
        cholmod_start(&common);
        // CHOLMOD prints its warnings (a matrix not positive definite) on standard output by
        // default: the caller reports them instead.
        common.print = 0;
        common.error_handler = nullptr;
        // Supernodal, always LL': a simplicial factor would be LDL', which goes through an
        // indefinite matrix, and its failure is how the passes learn of one.
        common.supernodal = CHOLMOD_SUPERNODAL;
        // CHOLMOD's default amalgamation of supernodes is kept: amalgamated twice as far, they
        // factorize a fifth faster at 10^5 rows and a seventh at 10^6, but the factor, which is
        // where the memory of the run peaks, grows from 43 MB to 59 and from 427 MB to 581.
    }
    ~Cholmod() {
        free_solve_workspace();
        cholmod_free_factor(&factor, &common);
        cholmod_finish(&common);
    }
    Cholmod(const Cholmod&) = delete;
    Cholmod& operator=(const Cholmod&) = delete;

    void free_solve_workspace() {
        cholmod_free_dense(&x, &common);
        cholmod_free_dense(&y, &common);
        cholmod_free_dense(&e, &common);
    }
};

namespace {

// A lower triangle as CHOLMOD sees it, without a copy.
cholmod_sparse view(int rows, const int* columns, const int* row_of, const double* values) {
    cholmod_sparse a{};
    a.nrow = static_cast<std::size_t>(rows);
    a.ncol = static_cast<std::size_t>(rows);
    a.nzmax = static_cast<std::size_t>(columns[rows]);
    a.p = const_cast<int*>(columns);
    a.i = const_cast<int*>(row_of);
    a.x = const_cast<double*>(values);
    a.stype = -1;
    a.itype = CHOLMOD_INT;
    // Without values, the pattern alone (all a symbolic analysis reads).
    a.xtype = values != nullptr ? CHOLMOD_REAL : CHOLMOD_PATTERN;
    a.dtype = CHOLMOD_DOUBLE;
    a.sorted = 1;
    a.packed = 1;
    return a;
}

cholmod_sparse view(const SparseCholesky::Matrix& lower) {
    return view(static_cast<int>(lower.rows()), lower.outerIndexPtr(), lower.innerIndexPtr(),
                lower.valuePtr());
}

// B = A(perm, perm) of the lower triangle `lower`, and where each of A's entries goes in it.
void permute(const SparseCholesky::Matrix& lower, SparseCholesky::Cholmod& c) {
    const auto n = static_cast<int>(lower.rows());
    const auto entries = static_cast<std::size_t>(lower.nonZeros());
    std::vector<int> place(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r)
        place[static_cast<std::size_t>(c.perm[static_cast<std::size_t>(r)])] = r;
    const int* starts = lower.outerIndexPtr();
    const int* rows = lower.innerIndexPtr();
    c.column.assign(static_cast<std::size_t>(n) + 1, 0);
    for (int j = 0; j < n; ++j)
        for (int k = starts[j]; k < starts[j + 1]; ++k) {
            const int a = place[static_cast<std::size_t>(rows[k])];
            const int b = place[static_cast<std::size_t>(j)];
            ++c.column[static_cast<std::size_t>(std::min(a, b)) + 1];
        }
    for (int j = 0; j < n; ++j)
        c.column[static_cast<std::size_t>(j) + 1] += c.column[static_cast<std::size_t>(j)];
    std::vector<int> next(c.column.begin(), c.column.end() - 1);
    std::vector<int>& from = c.from;
    from.assign(entries, 0);
    c.row.assign(entries, 0);
    for (int j = 0; j < n; ++j)
        for (int k = starts[j]; k < starts[j + 1]; ++k) {
            const int a = place[static_cast<std::size_t>(rows[k])];
            const int b = place[static_cast<std::size_t>(j)];
            const auto at =
                static_cast<std::size_t>(next[static_cast<std::size_t>(std::min(a, b))]++);
            c.row[at] = std::max(a, b);
            from[at] = k;
        }
    // Rows in order within each column (a few entries each: one per link of the node).
    for (int j = 0; j < n; ++j)
        for (int k = c.column[static_cast<std::size_t>(j)] + 1;
             k < c.column[static_cast<std::size_t>(j) + 1]; ++k)
            for (auto m = static_cast<std::size_t>(k);
                 m > static_cast<std::size_t>(c.column[static_cast<std::size_t>(j)]) &&
                 c.row[m - 1] > c.row[m];
                 --m) {
                std::swap(c.row[m - 1], c.row[m]);
                std::swap(from[m - 1], from[m]);
            }
    c.rhs.assign(static_cast<std::size_t>(n), 0.0);
    if (c.own_numeric) return;
    c.to_b.resize(entries);
    for (std::size_t at = 0; at < entries; ++at)
        c.to_b[static_cast<std::size_t>(from[at])] = static_cast<int>(at);
    c.from = {};
    c.value.assign(entries, 0.0);
}

// Where each entry of B lands in the values of the supernodal factor `L` that CHOLMOD's symbolic
// analysis laid out, and the own factorization's workspace.
void prepare_own_numeric(SparseCholesky::Cholmod& c) {
    const cholmod_factor& factor = *c.factor;
    const auto n = static_cast<std::size_t>(factor.n);
    const auto supernodes = static_cast<std::size_t>(factor.nsuper);
    const auto* super = static_cast<const int*>(factor.super);
    const auto* pi = static_cast<const int*>(factor.pi);
    const auto* px = static_cast<const int*>(factor.px);
    const auto* ls = static_cast<const int*>(factor.s);
    c.super_of.assign(n, 0);
    c.local_row.assign(n, 0);
    c.to_factor.assign(c.row.size(), 0);
    std::size_t widest = 0;
    for (std::size_t s = 0; s < supernodes; ++s) {
        const int first = super[s];
        const int rows = pi[s + 1] - pi[s];
        widest = std::max(widest, static_cast<std::size_t>(rows));
        for (int p = pi[s]; p < pi[s + 1]; ++p)
            c.local_row[static_cast<std::size_t>(ls[p])] = p - pi[s];
        for (int j = first; j < super[s + 1]; ++j) {
            c.super_of[static_cast<std::size_t>(j)] = static_cast<int>(s);
            for (int k = c.column[static_cast<std::size_t>(j)];
                 k < c.column[static_cast<std::size_t>(j) + 1]; ++k)
                c.to_factor[static_cast<std::size_t>(k)] =
                    px[s] + (j - first) * rows +
                    c.local_row[static_cast<std::size_t>(c.row[static_cast<std::size_t>(k)])];
        }
    }
    c.head.assign(supernodes, -1);
    c.next.assign(supernodes, -1);
    c.done_rows.assign(supernodes, 0);
    c.relative.assign(widest, 0);
    c.update.assign(std::max<std::size_t>(factor.maxcsize, 1), 0.0);
}

// The numeric factorization of B (its values A's, `values`, through c.from) into the supernodal
// factor CHOLMOD's symbolic analysis laid out, left-looking, one supernode at a time: its
// columns of B, less the updates of the supernodes below it that reach its rows, then the dense
// Cholesky factorization of its diagonal block and the triangular solve of the rows under it.
// It is what CHOLMOD's own numeric factorization does, without the OpenMP regions that library
// opens around every supernode: run on one thread, each costs two system calls, over a million
// of them per factorization of a 10^6-row matrix, which took 1.3 s against 0.7 s without them.
// False when a diagonal block is not positive definite (factor.minor: its first column).
bool factorize_supernodes(SparseCholesky::Cholmod& c, const double* values) {
    cholmod_factor& factor = *c.factor;
    const auto supernodes = static_cast<int>(factor.nsuper);
    const auto* super = static_cast<const int*>(factor.super);
    const auto* pi = static_cast<const int*>(factor.pi);
    const auto* px = static_cast<const int*>(factor.px);
    const auto* ls = static_cast<const int*>(factor.s);
    auto* lx = static_cast<double*>(factor.x);
    int* head = c.head.data();
    int* next = c.next.data();
    int* done_rows = c.done_rows.data();
    int* local_row = c.local_row.data();
    int* relative = c.relative.data();
    std::fill(c.head.begin(), c.head.end(), -1);
    const double one = 1.0;
    const double zero = 0.0;
    // Products of at most this many multiply-adds are worked out here: a call of the dense
    // kernels costs more than the arithmetic of the small supernodes (at 10^6 rows, 3 % of the
    // factorization's time).
    const std::int64_t small_product = 1024;
    for (int s = 0; s < supernodes; ++s) {
        const int k1 = super[s];
        const int k2 = super[s + 1];
        int columns = k2 - k1;
        int rows = pi[s + 1] - pi[s];
        double* block = lx + px[s];
        for (int p = pi[s]; p < pi[s + 1]; ++p) local_row[ls[p]] = p - pi[s];
        std::fill(block, block + static_cast<std::ptrdiff_t>(rows) * columns, 0.0);
        for (int k = c.column[static_cast<std::size_t>(k1)];
             k < c.column[static_cast<std::size_t>(k2)]; ++k)
            lx[c.to_factor[static_cast<std::size_t>(k)]] =
                values[c.from[static_cast<std::size_t>(k)]];
        // Each supernode d below whose rows reach this one's columns: its rows from done_rows[d]
        // on, the first `within` of them among this supernode's columns.
        for (int d = head[s]; d >= 0;) {
            const int after = next[d];
            int d_columns = super[d + 1] - super[d];
            int d_rows = pi[d + 1] - pi[d];
            const int first = pi[d] + done_rows[d];
            int last = first;
            while (last < pi[d + 1] && ls[last] < k2) ++last;
            int within = last - first;
            int below = pi[d + 1] - first;
            const double* source = lx + px[d] + (first - pi[d]);
            for (int i = 0; i < below; ++i) relative[i] = local_row[ls[first + i]];
            if (static_cast<std::int64_t>(below) * within * d_columns <= small_product) {
                // L_d(first.., :) L_d(first..last, :)' subtracted where it lands, term by term.
                for (int j = 0; j < within; ++j) {
                    double* column = block + static_cast<std::ptrdiff_t>(relative[j]) * rows;
                    for (int i = j; i < below; ++i) {
                        double sum = 0.0;
                        for (int k = 0; k < d_columns; ++k) {
                            const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(k) * d_rows;
                            sum += source[at + i] * source[at + j];
                        }
                        column[relative[i]] -= sum;
                    }
                }
            } else {
                // update = L_d(first.., :) L_d(first..last, :)', lower part of its top square
                // (the symbolic analysis gave the largest such product's size).
                const auto size =
                    static_cast<std::size_t>(below) * static_cast<std::size_t>(within);
                if (size > c.update.size()) c.update.resize(size);
                double* update = c.update.data();
                dsyrk_("L", "N", &within, &d_columns, &one, source, &d_rows, &zero, update, &below,
                       1, 1);
                if (int rest = below - within; rest > 0)
                    dgemm_("N", "T", &rest, &within, &d_columns, &one, source + within, &d_rows,
                           source, &d_rows, &zero, update + within, &below, 1, 1);
                for (int j = 0; j < within; ++j) {
                    double* column = block + static_cast<std::ptrdiff_t>(relative[j]) * rows;
                    const double* part = update + static_cast<std::ptrdiff_t>(j) * below;
                    for (int i = j; i < below; ++i) column[relative[i]] -= part[i];
                }
            }
            done_rows[d] = last - pi[d];
            if (last < pi[d + 1]) {
                const int ancestor = c.super_of[static_cast<std::size_t>(ls[last])];
                next[d] = head[ancestor];
                head[ancestor] = d;
            }
            d = after;
        }
        if (static_cast<std::int64_t>(rows) * columns * columns <= small_product) {
            // The columns one by one, each less its earlier columns' share, then scaled.
            for (int j = 0; j < columns; ++j) {
                double* column = block + static_cast<std::ptrdiff_t>(j) * rows;
                for (int k = 0; k < j; ++k) {
                    const double* earlier = block + static_cast<std::ptrdiff_t>(k) * rows;
                    const double factor_jk = earlier[j];
                    for (int i = j; i < rows; ++i) column[i] -= earlier[i] * factor_jk;
                }
                // Not positive, or not a number: as the dense factorization below fails.
                if (!(column[j] > 0.0)) {
                    factor.minor = static_cast<std::size_t>(k1 + j);
                    return false;
                }
                const double pivot = std::sqrt(column[j]);
                column[j] = pivot;
                for (int i = j + 1; i < rows; ++i) column[i] /= pivot;
            }
        } else {
            int info = 0;
            dpotrf_("L", &columns, block, &rows, &info, 1);
            if (info != 0) {
                factor.minor = static_cast<std::size_t>(k1 + info - 1);
                return false;
            }
            if (int under = rows - columns; under > 0)
                dtrsm_("R", "L", "T", "N", &under, &columns, &one, block, &rows, block + columns,
                       &rows, 1, 1, 1, 1);
        }
        if (rows > columns) {
            done_rows[s] = columns;
            const int ancestor = c.super_of[static_cast<std::size_t>(ls[pi[s] + columns])];
            next[s] = head[ancestor];
            head[ancestor] = s;
        }
    }
    factor.minor = factor.n;
    return true;
}

} // namespace

SparseCholesky::SparseCholesky(std::int64_t large_from, std::int64_t nested_dissection_from)
    : large_from_(large_from), nested_dissection_from_(nested_dissection_from) {}
SparseCholesky::~SparseCholesky() = default;

void SparseCholesky::analyse(const Matrix& lower) {
    cholmod_.reset();
    if (lower.rows() >= large_from_) {
        cholmod_ = std::make_unique<Cholmod>();
        Cholmod& c = *cholmod_;
        // One ordering rather than CHOLMOD's default, which runs AMD and then METIS as well when
        // the fill is large. On looped grids (bench/grids.py) AMD orders 10^5 nodes in 0.1 s
        // against METIS's 0.4 s and its factorizations cost little more; at 10^6 METIS's
        // nested dissection takes 5.5 s against 2 s, but each factorization then takes 1.0 s
        // instead of 1.6 s, which the eight of an analysis make up.
        cholmod_sparse a = view(lower);
        bool ordered = false;
        if (lower.rows() >= nested_dissection_from_) {
            // Postordered by the elimination tree, as the symbolic analysis below needs.
            c.perm.resize(static_cast<std::size_t>(lower.rows()));
            ordered = cholmod_metis(&a, nullptr, 0, 1, c.perm.data(), &c.common) != 0;
        } else {
            // AMD through the whole analysis, for its postorder weighted by the column counts.
            c.common.nmethods = 1;
            c.common.method[0].ordering = CHOLMOD_AMD;
            c.common.postorder = 1;
            cholmod_factor* amd = cholmod_analyze(&a, &c.common);
            if (amd != nullptr) {
                const auto* perm = static_cast<const int*>(amd->Perm);
                c.perm.assign(perm, perm + lower.rows());
                cholmod_free_factor(&amd, &c.common);
                ordered = true;
            }
        }
        if (ordered) {
            c.own_numeric = lower.rows() >= nested_dissection_from_;
            permute(lower, c);
            // B is in the order found, postordered already.
            c.common.nmethods = 1;
            c.common.method[0].ordering = CHOLMOD_NATURAL;
            c.common.postorder = 0;
            cholmod_sparse b = view(static_cast<int>(lower.rows()), c.column.data(), c.row.data(),
                                    c.own_numeric ? nullptr : c.value.data());
            c.factor = cholmod_analyze(&b, &c.common);
            if (c.factor != nullptr && c.own_numeric) {
                if (c.factor->is_super == 0)
                    cholmod_free_factor(&c.factor, &c.common);
                else {
                    prepare_own_numeric(c);
                    c.row = {};
                }
            }
        }
        // Out of memory, or indices past what int holds: the simplicial factorization instead.
        if (c.factor == nullptr) cholmod_.reset();
    }
    if (!cholmod_) analyse_simplicial(lower);
    analysed_ = true;
}

bool SparseCholesky::factorize(const Matrix& lower) {
    if (!cholmod_) {
        // The values are read through the analysed pattern's places.
        assert(lower.rows() == static_cast<Eigen::Index>(scattered_.size()) &&
               lower.nonZeros() == analysed_entries_);
        return factorize_simplicial(lower.valuePtr());
    }
    Cholmod& c = *cholmod_;
    if (c.own_numeric) {
        c.factored = false;
        // The factor's values, allocated again after release_values().
        if (c.factor->xtype == CHOLMOD_PATTERN &&
            cholmod_change_factor(CHOLMOD_REAL, 1, 1, 1, 1, c.factor, &c.common) == 0)
            return false;
        if (c.factor->x == nullptr) return false;
        c.factored = factorize_supernodes(c, lower.valuePtr());
        return c.factored;
    }
    c.value.resize(c.to_b.size()); // every entry written below: to_b is one to one
    const double* values = lower.valuePtr();
    for (std::size_t k = 0; k < c.to_b.size(); ++k)
        c.value[static_cast<std::size_t>(c.to_b[k])] = values[k];
    cholmod_sparse b =
        view(static_cast<int>(lower.rows()), c.column.data(), c.row.data(), c.value.data());
    const int done = cholmod_factorize(&b, c.factor, &c.common);
    // On success every column was factorized; `minor` is the first that was not.
    c.factored = done != 0 && c.common.status == CHOLMOD_OK && c.factor->minor == c.factor->n;
    return c.factored;
}

void SparseCholesky::analyse_simplicial(const Matrix& lower) {
    factored_ = false;
    const auto n = static_cast<int>(lower.rows());
    const auto size = static_cast<std::size_t>(n);
    // The ordering Eigen's simplicial factorization would choose itself, on the full pattern.
    {
        Matrix full;
        full = lower.selfadjointView<Eigen::Lower>();
        Eigen::PermutationMatrix<Eigen::Dynamic, Eigen::Dynamic, int> inverse;
        Eigen::AMDOrdering<int>()(full, inverse);
        order_ = inverse.inverse();
    }
    // B's upper triangle as Eigen permutes it, each value of `lower` carried through as its own
    // index (indices are exact in a double): the order of its entries within a column is the
    // order in which the factorization gathers them, which decides the order of each row's
    // pattern.
    Matrix numbered = lower;
    for (Eigen::Index k = 0; k < numbered.nonZeros(); ++k)
        numbered.valuePtr()[k] = static_cast<double>(k);
    Matrix permuted(lower.rows(), lower.cols());
    permuted.selfadjointView<Eigen::Upper>() =
        numbered.selfadjointView<Eigen::Lower>().twistedBy(order_);
    permuted.makeCompressed();
    analysed_entries_ = lower.nonZeros();
    gather_start_.assign(size + 1, 0);
    gather_row_.clear();
    gather_from_.clear();
    for (int k = 0; k < n; ++k) {
        for (Matrix::InnerIterator it(permuted, k); it; ++it)
            if (it.index() <= k) {
                gather_row_.push_back(static_cast<int>(it.index()));
                gather_from_.push_back(static_cast<int>(it.value()));
            }
        gather_start_[static_cast<std::size_t>(k) + 1] = static_cast<int>(gather_row_.size());
    }

    // The elimination tree and the factor's column counts, as Eigen's analyzePattern finds them.
    std::vector<int> parent(size, -1);
    std::vector<int> tags(size, 0);
    std::vector<int> count(size, 0);
    for (int k = 0; k < n; ++k) {
        tags[static_cast<std::size_t>(k)] = k;
        for (int e = gather_start_[static_cast<std::size_t>(k)];
             e < gather_start_[static_cast<std::size_t>(k) + 1]; ++e)
            for (int i = gather_row_[static_cast<std::size_t>(e)];
                 tags[static_cast<std::size_t>(i)] != k; i = parent[static_cast<std::size_t>(i)]) {
                if (parent[static_cast<std::size_t>(i)] == -1)
                    parent[static_cast<std::size_t>(i)] = k;
                ++count[static_cast<std::size_t>(i)];
                tags[static_cast<std::size_t>(i)] = k;
            }
    }
    factor_start_.assign(size + 1, 0);
    for (std::size_t k = 0; k < size; ++k) factor_start_[k + 1] = factor_start_[k] + count[k] + 1;
    const auto entries = static_cast<std::size_t>(factor_start_[size]);
    factor_row_.assign(entries, 0);
    factor_value_.assign(entries, 0.0);

    // Each row's pattern in the order of Eigen's factorization: per entry gathered, the path up
    // the tree from its row to the first node already met, the paths of later entries before
    // those of earlier ones; and the place of each L(k, i), next in column i.
    pattern_start_.assign(size + 1, 0);
    pattern_column_.resize(entries - size);
    pattern_place_.resize(entries - size);
    std::vector<int> stack(size, 0);
    std::vector<int> path(size, 0);
    std::fill(tags.begin(), tags.end(), -1);
    std::fill(count.begin(), count.end(), 0); // entries so far of each column
    int at = 0;
    for (int k = 0; k < n; ++k) {
        tags[static_cast<std::size_t>(k)] = k;
        std::size_t top = size;
        for (int e = gather_start_[static_cast<std::size_t>(k)];
             e < gather_start_[static_cast<std::size_t>(k) + 1]; ++e) {
            std::size_t length = 0;
            for (int i = gather_row_[static_cast<std::size_t>(e)];
                 tags[static_cast<std::size_t>(i)] != k; i = parent[static_cast<std::size_t>(i)]) {
                path[length++] = i;
                tags[static_cast<std::size_t>(i)] = k;
            }
            while (length > 0) stack[--top] = path[--length];
        }
        for (; top < size; ++top) {
            const auto i = static_cast<std::size_t>(stack[top]);
            const int place = factor_start_[i] + 1 + count[i]++;
            factor_row_[static_cast<std::size_t>(place)] = k;
            pattern_column_[static_cast<std::size_t>(at)] = static_cast<int>(i);
            pattern_place_[static_cast<std::size_t>(at)] = place;
            ++at;
        }
        pattern_start_[static_cast<std::size_t>(k) + 1] = at;
        factor_row_[static_cast<std::size_t>(factor_start_[static_cast<std::size_t>(k)])] = k;
    }
    scattered_.assign(size, 0.0);
}

// Eigen's up-looking factorization (SimplicialCholeskyBase::factorize_preordered, LLT, no
// shift), with the patterns analyse_simplicial() stored.
bool SparseCholesky::factorize_simplicial(const double* values) {
    factored_ = false;
    const int* gather_start = gather_start_.data();
    const int* gather_row = gather_row_.data();
    const int* gather_from = gather_from_.data();
    const int* pattern_start = pattern_start_.data();
    const int* pattern_column = pattern_column_.data();
    const int* pattern_place = pattern_place_.data();
    const int* start = factor_start_.data();
    const int* row = factor_row_.data();
    double* value = factor_value_.data();
    double* y = scattered_.data();
    const auto n = static_cast<int>(scattered_.size());
    for (int k = 0; k < n; ++k) {
        // Added to a zero, as Eigen sums its entries in (a negative zero becomes a positive one).
        for (int e = gather_start[k]; e < gather_start[k + 1]; ++e)
            y[gather_row[e]] += values[gather_from[e]];
        // Eigen's shift of the diagonal (times one, plus zero) changes no value here: y[k] is
        // not a negative zero.
        double d = y[k];
        y[k] = 0.0;
        for (int t = pattern_start[k]; t < pattern_start[k + 1]; ++t) {
            const int i = pattern_column[t];
            const int place = pattern_place[t];
            const double l = y[i] / value[start[i]];
            y[i] = 0.0;
            for (int p = start[i] + 1; p < place; ++p) y[row[p]] -= value[p] * l;
            d -= l * l;
            value[place] = l;
        }
        // Eigen's test, which a pivot that is not a number passes: the solve's result then is
        // not a number either, which the caller checks.
        if (d <= 0.0) return false;
        value[start[k]] = std::sqrt(d);
    }
    factored_ = true;
    return true;
}

bool SparseCholesky::solve(Eigen::Ref<const Eigen::VectorXd> b, Eigen::VectorXd& x) {
    if (!cholmod_) {
        if (!factored_) return false;
        const Eigen::Index n = b.size();
        const int* to = order_.indices().data();
        work_.resize(n);
        double* w = work_.data();
        for (Eigen::Index i = 0; i < n; ++i) w[to[i]] = b[i];
        // Straight over the factor's compressed columns (the diagonal first in each, the rows
        // below it after) rather than through the generic sparse iterators, which cost several
        // times as much on a small network. The operations and their order are those of Eigen's
        // triangular solves, so the results keep every bit.
        const int* start = factor_start_.data();
        const int* row = factor_row_.data();
        const double* value = factor_value_.data();
        for (Eigen::Index j = 0; j < n; ++j) {
            double& t = w[j];
            // A zero stays as it is, its sign included, and changes no row below.
            if (t != 0.0) {
                t /= value[start[j]];
                for (int p = start[j] + 1; p < start[j + 1]; ++p) w[row[p]] -= t * value[p];
            }
        }
        for (Eigen::Index j = n - 1; j >= 0; --j) {
            double t = w[j];
            for (int p = start[j] + 1; p < start[j + 1]; ++p) t -= value[p] * w[row[p]];
            w[j] = t / value[start[j]];
        }
        x.resize(n);
        for (Eigen::Index i = 0; i < n; ++i) x[i] = w[to[i]];
        return true;
    }
    Cholmod& c = *cholmod_;
    if (!c.factored) return false;
    const std::size_t n = c.perm.size();
    c.rhs.resize(n);
    for (std::size_t r = 0; r < n; ++r) c.rhs[r] = b[c.perm[r]];
    cholmod_dense rhs{};
    rhs.nrow = n;
    rhs.ncol = 1;
    rhs.nzmax = n;
    rhs.d = n;
    rhs.x = c.rhs.data();
    rhs.xtype = CHOLMOD_REAL;
    rhs.dtype = CHOLMOD_DOUBLE;
    if (cholmod_solve2(CHOLMOD_A, c.factor, &rhs, nullptr, &c.x, nullptr, &c.y, &c.e, &c.common) ==
        0)
        return false;
    const auto* solution = static_cast<const double*>(c.x->x);
    x.resize(b.size());
    for (std::size_t r = 0; r < n; ++r) x[c.perm[r]] = solution[r];
    return true;
}

void SparseCholesky::release_values() {
    if (!cholmod_) return;
    Cholmod& c = *cholmod_;
    c.free_solve_workspace();
    c.value = {};
    c.rhs = {};
    c.factored = false;
    // Back to the symbolic factor: the next factorization allocates the values again.
    cholmod_change_factor(CHOLMOD_PATTERN, 1, 1, 1, 1, c.factor, &c.common);
}

bool SparseCholesky::holds_values() const {
    return cholmod_ && cholmod_->factor->xtype != CHOLMOD_PATTERN;
}

} // namespace pipenet::analysis
