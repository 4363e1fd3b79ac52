#include "analysis/sparse_cholesky.hpp"

#include <algorithm>
#include <cholmod.h>

namespace pipenet::analysis {

struct SparseCholesky::Cholmod {
    cholmod_common common{};
    cholmod_factor* factor = nullptr;
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
    }
    ~Cholmod() {
        cholmod_free_dense(&x, &common);
        cholmod_free_dense(&y, &common);
        cholmod_free_dense(&e, &common);
        cholmod_free_factor(&factor, &common);
        cholmod_finish(&common);
    }
    Cholmod(const Cholmod&) = delete;
    Cholmod& operator=(const Cholmod&) = delete;
};

namespace {

// The lower triangle of `lower` as CHOLMOD sees it, without a copy.
cholmod_sparse view(const SparseCholesky::Matrix& lower) {
    cholmod_sparse a{};
    a.nrow = static_cast<std::size_t>(lower.rows());
    a.ncol = static_cast<std::size_t>(lower.cols());
    a.nzmax = static_cast<std::size_t>(lower.nonZeros());
    a.p = const_cast<int*>(lower.outerIndexPtr());
    a.i = const_cast<int*>(lower.innerIndexPtr());
    a.x = const_cast<double*>(lower.valuePtr());
    a.stype = -1;
    a.itype = CHOLMOD_INT;
    a.xtype = CHOLMOD_REAL;
    a.dtype = CHOLMOD_DOUBLE;
    a.sorted = 1;
    a.packed = 1;
    return a;
}

} // namespace

SparseCholesky::SparseCholesky(std::int64_t large_from) : large_from_(large_from) {}
SparseCholesky::~SparseCholesky() = default;

void SparseCholesky::analyse(const Matrix& lower) {
    cholmod_.reset();
    if (lower.rows() >= large_from_) {
        cholmod_ = std::make_unique<Cholmod>();
        cholmod_sparse a = view(lower);
        cholmod_->factor = cholmod_analyze(&a, &cholmod_->common);
        // Out of memory, or indices past what int holds: the simplicial factorization instead.
        if (cholmod_->factor == nullptr) cholmod_.reset();
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
    cholmod_sparse a = view(lower);
    const int done = cholmod_factorize(&a, cholmod_->factor, &cholmod_->common);
    // On success every column was factorized; `minor` is the first that was not.
    return done != 0 && cholmod_->common.status == CHOLMOD_OK &&
           cholmod_->factor->minor == cholmod_->factor->n;
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
    cholmod_dense rhs{};
    rhs.nrow = static_cast<std::size_t>(b.size());
    rhs.ncol = 1;
    rhs.nzmax = rhs.nrow;
    rhs.d = rhs.nrow;
    rhs.x = const_cast<double*>(b.data());
    rhs.xtype = CHOLMOD_REAL;
    rhs.dtype = CHOLMOD_DOUBLE;
    Cholmod& c = *cholmod_;
    if (cholmod_solve2(CHOLMOD_A, c.factor, &rhs, nullptr, &c.x, nullptr, &c.y, &c.e, &c.common) ==
        0)
        return false;
    const auto* solution = static_cast<const double*>(c.x->x);
    x.resize(b.size());
    std::copy(solution, solution + b.size(), x.data());
    return true;
}

} // namespace pipenet::analysis
