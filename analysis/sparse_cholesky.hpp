// The Cholesky factorization of the analysis's Newton matrix: Eigen's simplicial factorization
// for small networks, where it costs least, and CHOLMOD's (supernodal on dense blocks, with its
// choice of fill-reducing ordering) above a size, where the fill makes dense kernels pay; for
// the largest, CHOLMOD's symbolic factorization with a numeric one of this class's own.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <Eigen/Core>
#include <Eigen/OrderingMethods>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>

namespace pipenet::analysis {

class SparseCholesky {
public:
    using Matrix = Eigen::SparseMatrix<double, Eigen::ColMajor, int>;

    // CHOLMOD factorizes matrices of `large_from` rows and more (Settings::large_network_rows),
    // ordered by AMD; from `nested_dissection_from` rows on, ordered by METIS's nested
    // dissection, with the numeric factorization worked out here on CHOLMOD's supernodes.
    explicit SparseCholesky(std::int64_t large_from, std::int64_t nested_dissection_from = 600000);
    ~SparseCholesky();
    SparseCholesky(const SparseCholesky&) = delete;
    SparseCholesky& operator=(const SparseCholesky&) = delete;

    // The ordering and symbolic factorization of the pattern of `lower` (its lower triangle,
    // diagonal included), once per pattern.
    void analyse(const Matrix& lower);
    // The numeric factorization of `lower`, whose pattern analyse() saw; false when the matrix
    // is not positive definite (or CHOLMOD ran out of memory).
    bool factorize(const Matrix& lower);
    // x = A^-1 b with the last factorization; false when it failed.
    bool solve(Eigen::Ref<const Eigen::VectorXd> b, Eigen::VectorXd& x);
    // Frees the numeric factor of a large matrix, keeping the symbolic analysis for the next
    // factorize(): a network of 10^5 nodes holds tens of megabytes of it between analyses.
    void release_values();
    // Whether CHOLMOD holds a numeric factor (false for the simplicial factorization).
    bool holds_values() const;

    bool analysed() const { return analysed_; }
    // Whether CHOLMOD holds the factorization (for the benchmarks and the tests).
    bool by_cholmod() const { return cholmod_ != nullptr; }

    struct Cholmod;

private:
    std::int64_t large_from_;
    std::int64_t nested_dissection_from_;
    bool analysed_ = false;
    // The simplicial factorization works on the matrix already permuted by the fill-reducing
    // ordering (upper triangle, which it reads in place): each factorization moves the values
    // through a map worked out once instead of permuting the whole matrix again.
    Eigen::SimplicialLLT<Matrix, Eigen::Upper, Eigen::NaturalOrdering<int>> simplicial_;
    Eigen::PermutationMatrix<Eigen::Dynamic, Eigen::Dynamic, int> order_; // row i goes to order_(i)
    Matrix permuted_;
    std::vector<int> to_permuted_; // per value of the caller's lower triangle: its place there
    Eigen::VectorXd work_;
    std::unique_ptr<Cholmod> cholmod_;
};

} // namespace pipenet::analysis
