#include "analysis/sparse_cholesky.hpp"

#include <algorithm>
#include <cholmod.h>
#include <cholmod_partition.h>
#include <vector>

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
    std::vector<double> rhs;
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
    a.xtype = CHOLMOD_REAL;
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
    std::vector<int> from(entries); // per entry of B: its entry in A
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
    c.to_b.resize(entries);
    for (std::size_t at = 0; at < entries; ++at)
        c.to_b[static_cast<std::size_t>(from[at])] = static_cast<int>(at);
    c.value.assign(entries, 0.0);
    c.rhs.assign(static_cast<std::size_t>(n), 0.0);
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
            permute(lower, c);
            // B is in the order found, postordered already.
            c.common.nmethods = 1;
            c.common.method[0].ordering = CHOLMOD_NATURAL;
            c.common.postorder = 0;
            cholmod_sparse b =
                view(static_cast<int>(lower.rows()), c.column.data(), c.row.data(), c.value.data());
            c.factor = cholmod_analyze(&b, &c.common);
        }
        // Out of memory, or indices past what int holds: the simplicial factorization instead.
        if (c.factor == nullptr) cholmod_.reset();
    }
    if (!cholmod_) {
        // The ordering Eigen's simplicial factorization would choose itself, on the full pattern.
        Matrix full;
        full = lower.selfadjointView<Eigen::Lower>();
        Eigen::PermutationMatrix<Eigen::Dynamic, Eigen::Dynamic, int> inverse;
        Eigen::AMDOrdering<int>()(full, inverse);
        order_ = inverse.inverse();
        // Each value of `lower` carried through the permutation as its own index tells where it
        // lands (indices are exact in a double).
        Matrix numbered = lower;
        for (Eigen::Index k = 0; k < numbered.nonZeros(); ++k)
            numbered.valuePtr()[k] = static_cast<double>(k);
        permuted_.resize(lower.rows(), lower.cols());
        permuted_.selfadjointView<Eigen::Upper>() =
            numbered.selfadjointView<Eigen::Lower>().twistedBy(order_);
        permuted_.makeCompressed();
        to_permuted_.assign(static_cast<std::size_t>(lower.nonZeros()), 0);
        for (Eigen::Index p = 0; p < permuted_.nonZeros(); ++p)
            to_permuted_[static_cast<std::size_t>(permuted_.valuePtr()[p])] = static_cast<int>(p);
        simplicial_.analyzePattern(permuted_);
    }
    analysed_ = true;
}

bool SparseCholesky::factorize(const Matrix& lower) {
    if (!cholmod_) {
        const double* from = lower.valuePtr();
        double* to = permuted_.valuePtr();
        for (std::size_t k = 0; k < to_permuted_.size(); ++k) to[to_permuted_[k]] = from[k];
        simplicial_.factorize(permuted_);
        return simplicial_.info() == Eigen::Success;
    }
    Cholmod& c = *cholmod_;
    c.value.resize(c.to_b.size()); // every entry written below: to_b is one to one
    const double* values = lower.valuePtr();
    for (std::size_t k = 0; k < c.to_b.size(); ++k)
        c.value[static_cast<std::size_t>(c.to_b[k])] = values[k];
    cholmod_sparse b =
        view(static_cast<int>(lower.rows()), c.column.data(), c.row.data(), c.value.data());
    const int done = cholmod_factorize(&b, c.factor, &c.common);
    // On success every column was factorized; `minor` is the first that was not.
    return done != 0 && c.common.status == CHOLMOD_OK && c.factor->minor == c.factor->n;
}

bool SparseCholesky::solve(Eigen::Ref<const Eigen::VectorXd> b, Eigen::VectorXd& x) {
    if (!cholmod_) {
        if (simplicial_.info() != Eigen::Success) return false;
        work_ = order_ * b;
        if (work_.size() > 0) {
            simplicial_.matrixL().solveInPlace(work_);
            simplicial_.matrixU().solveInPlace(work_);
        }
        x = order_.transpose() * work_;
        return true;
    }
    Cholmod& c = *cholmod_;
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
    // Back to the symbolic factor: the next factorization allocates the values again.
    cholmod_change_factor(CHOLMOD_PATTERN, 1, 1, 1, 1, c.factor, &c.common);
}

bool SparseCholesky::holds_values() const {
    return cholmod_ && cholmod_->factor->xtype != CHOLMOD_PATTERN;
}

} // namespace pipenet::analysis
