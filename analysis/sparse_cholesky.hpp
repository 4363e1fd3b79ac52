// The Cholesky factorization of the analysis's Newton matrix: for small networks, where it costs
// least, a simplicial factorization on Eigen's AMD ordering that gives Eigen's simplicial
// factorization's bits; CHOLMOD's (supernodal on dense blocks, with its
// choice of fill-reducing ordering) above a size, where the fill makes dense kernels pay; for
// the largest, CHOLMOD's symbolic factorization with a numeric one of this class's own.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <Eigen/Core>
#include <Eigen/OrderingMethods>
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
    // Whether CHOLMOD holds a numeric factor (false for the simplicial factorization, whose
    // values stay).
    bool holds_values() const;

    bool analysed() const { return analysed_; }
    // Whether CHOLMOD holds the factorization (for the benchmarks and the tests).
    bool by_cholmod() const { return cholmod_ != nullptr; }

    struct Cholmod;

private:
    void analyse_simplicial(const Matrix& lower);
    bool factorize_simplicial(const double* values);

    std::int64_t large_from_;
    std::int64_t nested_dissection_from_;
    bool analysed_ = false;
    // The simplicial factorization of B = A(order, order), worked out row by row as Eigen's
    // SimplicialLLT does, with the same operations in the same order, so that its factor and
    // solutions are Eigen's to the last bit. What depends on the pattern alone (which entries
    // each row gathers, the elimination tree's walk from them, where each entry of the factor
    // goes) is found once by analyse(); factorize() is left with the arithmetic, reading the
    // caller's values where they are and allocating nothing.
    Eigen::PermutationMatrix<Eigen::Dynamic, Eigen::Dynamic, int> order_; // row i goes to order_(i)
    // Per row k of B: the entries of B's upper triangle in its column k, in the order of Eigen's
    // permuted matrix (their rows, and their places in the caller's values).
    std::vector<int> gather_start_, gather_row_, gather_from_;
    // Per row k of B: the columns i of its entries L(k, i) left of the diagonal, in the order the
    // elimination visits them, and each entry's place in the factor's values.
    std::vector<int> pattern_start_, pattern_column_, pattern_place_;
    // The factor L by columns, each column's diagonal first, then its rows from the top.
    std::vector<int> factor_start_, factor_row_;
    std::vector<double> factor_value_;
    std::vector<double> scattered_;     // a row of B being reduced; all zeros between rows
    Eigen::Index analysed_entries_ = 0; // of the caller's lower triangle
    bool factored_ = false;
    Eigen::VectorXd work_;
    std::unique_ptr<Cholmod> cholmod_;
};

} // namespace pipenet::analysis
