// Both factorizations behind the analysis's sparse solve: the simplicial one (Eigen's, worked out
// by SparseCholesky itself) and CHOLMOD's.
#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <Eigen/SparseCholesky>
#include <gtest/gtest.h>

#include "analysis/sparse_cholesky.hpp"

namespace pipenet::analysis {
namespace {

using Matrix = SparseCholesky::Matrix;

// The lower triangle of a ring of n nodes with conductances c(i) between i and i + 1 (mod n),
// each node also tied to a known head by `ground`: symmetric, definite when ground > 0.
Matrix ring(int n, double ground, double scale = 1.0) {
    std::vector<Eigen::Triplet<double, int>> entries;
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        const double c = scale * (1.0 + 0.25 * i);
        entries.emplace_back(i, i, c);
        entries.emplace_back(j, j, c);
        entries.emplace_back(std::max(i, j), std::min(i, j), -c);
        entries.emplace_back(i, i, ground);
    }
    Matrix a(n, n);
    a.setFromTriplets(entries.begin(), entries.end());
    a.makeCompressed();
    return a;
}

// A x for the full symmetric matrix held as its lower triangle, entry by entry.
Eigen::VectorXd product(const Matrix& lower, const Eigen::VectorXd& x) {
    Eigen::VectorXd y = Eigen::VectorXd::Zero(x.size());
    for (int col = 0; col < lower.outerSize(); ++col)
        for (Matrix::InnerIterator it(lower, col); it; ++it) {
            y[it.row()] += it.value() * x[col];
            if (it.row() != col) y[col] += it.value() * x[it.row()];
        }
    return y;
}

struct Side {
    const char* name;
    std::int64_t large_from;
    bool cholmod;
    std::int64_t nested_dissection_from = 600000;
};

// cholmod_nested_dissection: METIS's ordering, CHOLMOD's symbolic factorization and the numeric
// one of SparseCholesky's own.
class BothFactorizations : public testing::TestWithParam<Side> {};

INSTANTIATE_TEST_SUITE_P(SparseCholesky, BothFactorizations,
                         testing::Values(Side{"simplicial", 1000, false}, Side{"cholmod", 1, true},
                                         Side{"cholmod_nested_dissection", 1, true, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(BothFactorizations, SolvesWithNewValuesOnTheAnalysedPattern) {
    const int n = 40;
    SparseCholesky cholesky(GetParam().large_from, GetParam().nested_dissection_from);
    Matrix a = ring(n, 0.5);
    cholesky.analyse(a);
    EXPECT_EQ(cholesky.by_cholmod(), GetParam().cholmod);

    Eigen::VectorXd expected(n);
    for (int i = 0; i < n; ++i) expected[i] = 100.0 - 0.75 * i + (i % 3);
    // Each numeric factorization uses the values given to it, on the one symbolic analysis.
    for (double scale : {1.0, 7.5, 0.02}) {
        a = ring(n, 0.5, scale);
        ASSERT_TRUE(cholesky.factorize(a)) << scale;
        Eigen::VectorXd x;
        ASSERT_TRUE(cholesky.solve(product(a, expected), x)) << scale;
        ASSERT_EQ(x.size(), n);
        EXPECT_LT((x - expected).cwiseAbs().maxCoeff(), 1.0e-9) << scale;
    }
}

// The lower triangle of a side x side grid whose nodes are numbered in a scrambled order (so
// that the fill-reducing ordering moves every row), with conductances that differ link by link
// and the nodes of the first row tied to a known head.
Matrix scrambled_grid(int side) {
    const int n = side * side;
    std::vector<int> number(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) number[static_cast<std::size_t>(i)] = (i * 37 + 11) % n;
    std::vector<Eigen::Triplet<double, int>> entries;
    auto link = [&](int a, int b, double c) {
        const int i = number[static_cast<std::size_t>(a)];
        const int j = number[static_cast<std::size_t>(b)];
        entries.emplace_back(i, i, c);
        entries.emplace_back(j, j, c);
        entries.emplace_back(std::max(i, j), std::min(i, j), -c);
    };
    for (int r = 0; r < side; ++r)
        for (int col = 0; col < side; ++col) {
            const int at = r * side + col;
            if (col + 1 < side) link(at, at + 1, 1.0 + 0.1 * (at % 7));
            if (r + 1 < side) link(at, at + side, 2.0 + 0.3 * (at % 5));
            if (r == 0) {
                const int i = number[static_cast<std::size_t>(at)];
                entries.emplace_back(i, i, 0.75);
            }
        }
    Matrix a(n, n);
    a.setFromTriplets(entries.begin(), entries.end());
    a.makeCompressed();
    return a;
}

TEST_P(BothFactorizations, SolvesAScrambledGridAgainAfterItsValuesAreReleased) {
    // 37 is prime to 15 * 15: the numbering is a permutation.
    const int side = 15;
    const int n = side * side;
    Matrix a = scrambled_grid(side);
    SparseCholesky cholesky(GetParam().large_from, GetParam().nested_dissection_from);
    cholesky.analyse(a);
    Eigen::VectorXd expected(n);
    for (int i = 0; i < n; ++i) expected[i] = 50.0 + 0.5 * (i % 11) - 0.25 * (i % 4);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(cholesky.factorize(a)) << round;
        EXPECT_EQ(cholesky.holds_values(), GetParam().cholmod) << round;
        Eigen::VectorXd x;
        ASSERT_TRUE(cholesky.solve(product(a, expected), x)) << round;
        ASSERT_EQ(x.size(), n);
        EXPECT_LT((x - expected).cwiseAbs().maxCoeff(), 1.0e-9) << round;
        // The symbolic analysis stays; the next factorization allocates the values again.
        cholesky.release_values();
        EXPECT_FALSE(cholesky.holds_values());
        a *= 3.0;
    }
}

// Large enough that its nested dissection's separators make supernodes of tens of columns,
// whose updates of each other and own factorizations go through the dense kernels.
TEST_P(BothFactorizations, SolvesAGridWithWideSupernodes) {
    const int side = 45;
    const int n = side * side;
    const Matrix a = scrambled_grid(side);
    SparseCholesky cholesky(GetParam().large_from, GetParam().nested_dissection_from);
    cholesky.analyse(a);
    Eigen::VectorXd expected(n);
    for (int i = 0; i < n; ++i) expected[i] = 80.0 - 0.01 * i + 0.5 * (i % 13);
    ASSERT_TRUE(cholesky.factorize(a));
    Eigen::VectorXd x;
    ASSERT_TRUE(cholesky.solve(product(a, expected), x));
    ASSERT_EQ(x.size(), n);
    EXPECT_LT((x - expected).cwiseAbs().maxCoeff(), 1.0e-8);
}

// Every node joined to every other (one dense supernode), each tied to a known head by
// `ground`, but node `odd` by `odd_ground`.
Matrix clique(int n, double ground, int odd, double odd_ground) {
    std::vector<Eigen::Triplet<double, int>> entries;
    for (int i = 0; i < n; ++i) {
        entries.emplace_back(i, i, i == odd ? odd_ground : ground);
        for (int j = 0; j < i; ++j) {
            const double c = 1.0 + 0.01 * ((i * 7 + j) % 11);
            entries.emplace_back(i, i, c);
            entries.emplace_back(j, j, c);
            entries.emplace_back(i, j, -c);
        }
    }
    Matrix a(n, n);
    a.setFromTriplets(entries.begin(), entries.end());
    a.makeCompressed();
    return a;
}

TEST_P(BothFactorizations, FactorizesADenseBlockAndFindsItIndefinite) {
    const int n = 40;
    Eigen::VectorXd expected(n);
    for (int i = 0; i < n; ++i) expected[i] = 10.0 + 0.3 * i;
    {
        const Matrix a = clique(n, 0.5, 0, 0.5);
        SparseCholesky cholesky(GetParam().large_from, GetParam().nested_dissection_from);
        cholesky.analyse(a);
        ASSERT_TRUE(cholesky.factorize(a));
        Eigen::VectorXd x;
        ASSERT_TRUE(cholesky.solve(product(a, expected), x));
        EXPECT_LT((x - expected).cwiseAbs().maxCoeff(), 1.0e-9);
    }
    // e_20' A e_20 < 0: no ordering gets past that node's pivot, and no solve follows.
    const Matrix a = clique(n, 0.5, 20, -100.0);
    SparseCholesky cholesky(GetParam().large_from, GetParam().nested_dissection_from);
    cholesky.analyse(a);
    EXPECT_FALSE(cholesky.factorize(a));
    Eigen::VectorXd x;
    EXPECT_FALSE(cholesky.solve(product(a, expected), x));
}

TEST_P(BothFactorizations, ReportsAMatrixThatIsNotPositiveDefiniteAndPrintsNothing) {
    // A ring tied to its known heads by negative conductances (indefinite), and a node with no
    // conductance at all (a zero pivot, exactly).
    Matrix zero_row(12, 12);
    for (int i = 0; i < 12; ++i) zero_row.insert(i, i) = i == 7 ? 0.0 : 2.0;
    zero_row.makeCompressed();
    for (const Matrix& a : {ring(12, -0.5), zero_row}) {
        SparseCholesky cholesky(GetParam().large_from, GetParam().nested_dissection_from);
        cholesky.analyse(a);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const bool factorized = cholesky.factorize(a);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_FALSE(factorized);
    }
}

// A ring of n nodes beside a separate chain of n nodes (two networks in one matrix): a zero
// right-hand side on the chain leaves zeros there whose signs show every operation on them.
Matrix ring_beside_chain(int n) {
    const Matrix first = ring(n, 0.5, 1.3);
    std::vector<Eigen::Triplet<double, int>> entries;
    for (int col = 0; col < first.outerSize(); ++col)
        for (Matrix::InnerIterator it(first, col); it; ++it)
            entries.emplace_back(static_cast<int>(it.row()), col, it.value());
    for (int i = n; i < 2 * n; ++i) {
        entries.emplace_back(i, i, 3.0 + 0.1 * i);
        if (i + 1 < 2 * n) entries.emplace_back(i + 1, i, -1.0 - 0.01 * i);
    }
    Matrix a(2 * n, 2 * n);
    a.setFromTriplets(entries.begin(), entries.end());
    a.makeCompressed();
    return a;
}

// The small networks' solve runs over the factor's arrays itself: its results must be Eigen's own
// simplicial solve's to the last bit (the same ordering, factor and order of operations), also
// for right-hand sides with zeros of either sign, which the forward substitution passes over.
TEST(SimplicialSolve, GivesEigensOwnSolveBitForBit) {
    struct Case {
        const char* name;
        Matrix a;
    };
    const Case cases[] = {{"ring", ring(30, 0.5, 3.7)},
                          {"scrambled grid", scrambled_grid(9)},
                          {"clique", clique(12, 0.25, 3, 2.0)},
                          {"ring beside a chain", ring_beside_chain(10)}};
    for (const Case& c : cases) {
        const Eigen::Index n = c.a.rows();
        SparseCholesky cholesky(1000);
        cholesky.analyse(c.a);
        ASSERT_FALSE(cholesky.by_cholmod()) << c.name;
        ASSERT_TRUE(cholesky.factorize(c.a)) << c.name;
        Eigen::SimplicialLLT<Matrix, Eigen::Lower, Eigen::AMDOrdering<int>> eigen(c.a);
        ASSERT_EQ(eigen.info(), Eigen::Success) << c.name;
        for (int shape = 0; shape < 4; ++shape) {
            Eigen::VectorXd b(n);
            for (Eigen::Index i = 0; i < n; ++i) {
                const double v = 1.0 / 3.0 + 0.7 * static_cast<double>(i % 5) - 1.1 * (i % 3);
                const double zero = i % 3 == 0 ? -0.0 : 0.0;
                // shape 1: a single non-zero entry; shape 2: every other entry a zero of either
                // sign; shape 3: the first half non-zero, zeros of either sign after it.
                b[i] = shape == 0   ? v
                       : shape == 1 ? (i == n / 2 ? v : 0.0)
                       : shape == 2 ? (i % 2 == 0 ? zero : v)
                                    : (i < n / 2 ? v : zero);
            }
            Eigen::VectorXd x;
            ASSERT_TRUE(cholesky.solve(b, x)) << c.name;
            const Eigen::VectorXd expected = eigen.solve(b);
            ASSERT_EQ(x.size(), n);
            for (Eigen::Index i = 0; i < n; ++i)
                ASSERT_EQ(std::bit_cast<std::uint64_t>(x[i]),
                          std::bit_cast<std::uint64_t>(expected[i]))
                    << c.name << " shape " << shape << " row " << i << ": " << x[i] << " vs "
                    << expected[i];
        }
    }
}

// A path of n nodes, node 0 tied to a known head: tridiagonal, no fill. `last_ground` ties the
// last node too: a negative one larger than the path's own conductance to node 0's known head
// makes the matrix indefinite while every entry of its diagonal stays positive.
Matrix path(int n, double last_ground) {
    std::vector<Eigen::Triplet<double, int>> entries;
    entries.emplace_back(0, 0, 1.5);
    entries.emplace_back(n - 1, n - 1, last_ground);
    for (int i = 0; i + 1 < n; ++i) {
        const double c = 0.6 + 0.05 * (i % 7);
        entries.emplace_back(i, i, c);
        entries.emplace_back(i + 1, i + 1, c);
        entries.emplace_back(i + 1, i, -c);
    }
    Matrix a(n, n);
    a.setFromTriplets(entries.begin(), entries.end());
    a.makeCompressed();
    return a;
}

// `a` with the value of every `every`th entry below the diagonal replaced by `value`.
Matrix with_off_diagonal(Matrix a, int every, double value) {
    int seen = 0;
    for (int col = 0; col < a.outerSize(); ++col)
        for (Matrix::InnerIterator it(a, col); it; ++it)
            if (it.row() != col && seen++ % every == 0) it.valueRef() = value;
    return a;
}

// Two rings of 8 nodes, joined by a link between node 3 of the first and node 2 of the second
// whose entries beside the diagonal are `value`.
Matrix rings_joined_by(double value) {
    std::vector<Eigen::Triplet<double, int>> entries;
    for (int shift : {0, 8}) {
        const Matrix part = ring(8, 0.5, shift == 0 ? 1.0 : 1.7);
        for (int col = 0; col < part.outerSize(); ++col)
            for (Matrix::InnerIterator it(part, col); it; ++it)
                entries.emplace_back(static_cast<int>(it.row()) + shift, col + shift, it.value());
    }
    entries.emplace_back(10, 3, value);
    Matrix a(16, 16);
    a.setFromTriplets(entries.begin(), entries.end());
    a.makeCompressed();
    return a;
}

using Reference = Eigen::SimplicialLLT<Matrix, Eigen::Lower, Eigen::AMDOrdering<int>>;

// The solutions for every unit vector (its zeros negative for every other one) and for one full
// right-hand side, bit for bit: together they read every entry of the factor, the signs of its
// zeros included.
void expect_eigens_solutions(SparseCholesky& cholesky, const Reference& eigen, Eigen::Index n,
                             const std::string& name) {
    for (Eigen::Index column = -1; column < n; ++column) {
        Eigen::VectorXd b(n);
        const double zero = column % 2 == 0 ? 0.0 : -0.0;
        for (Eigen::Index i = 0; i < n; ++i)
            b[i] = column < 0
                       ? 0.3 + 0.9 * static_cast<double>(i % 4) - 0.07 * static_cast<double>(i)
                       : (i == column ? 1.0 : zero);
        Eigen::VectorXd x;
        ASSERT_TRUE(cholesky.solve(b, x)) << name;
        const Eigen::VectorXd expected = eigen.solve(b);
        ASSERT_EQ(x.size(), n) << name;
        for (Eigen::Index i = 0; i < n; ++i)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(x[i]), std::bit_cast<std::uint64_t>(expected[i]))
                << name << ", right-hand side " << column << ", row " << i << ": " << x[i] << " vs "
                << expected[i];
    }
}

// The small networks' numeric factorization is SparseCholesky's own: it must fail where Eigen's
// SimplicialLLT fails and otherwise give its factor to the last bit.
TEST(SimplicialFactorization, FailsAndSucceedsAsEigensDoesWithItsBits) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Matrix zero_pivot(12, 12);
    for (int i = 0; i < 12; ++i) zero_pivot.insert(i, i) = i == 7 ? 0.0 : 2.0;
    zero_pivot.makeCompressed();
    struct Case {
        const char* name;
        Matrix a;
        bool factorizes;
    };
    const Case cases[] = {
        {"path", path(20, 0.0), true},
        {"loop", ring(16, 0.5, 2.3), true},
        {"grid with fill", scrambled_grid(8), true},
        {"clique", clique(10, 0.25, 3, 2.0), true},
        {"ring beside a chain", ring_beside_chain(9), true},
        // Links of no conductance leave negative zeros beside the diagonal.
        {"grid with negative zeros", with_off_diagonal(scrambled_grid(6), 3, -0.0), true},
        // Two networks as far as the values go: the solutions' zeros show the signs of the
        // factor's.
        {"rings joined by a negative zero", rings_joined_by(-0.0), true},
        {"path whose last pivot is negative", path(20, -0.7), false},
        {"indefinite loop", ring(12, -0.5), false},
        {"zero pivot", zero_pivot, false},
        // Eigen's pivot test lets a pivot that is not a number through.
        {"loop with a NaN", with_off_diagonal(ring(10, 0.5), 7, nan), true},
    };
    for (const Case& c : cases) {
        SparseCholesky cholesky(1000);
        cholesky.analyse(c.a);
        ASSERT_FALSE(cholesky.by_cholmod()) << c.name;
        const Reference eigen(c.a);
        EXPECT_EQ(eigen.info() == Eigen::Success, c.factorizes) << c.name;
        ASSERT_EQ(cholesky.factorize(c.a), c.factorizes) << c.name;
        if (c.factorizes)
            expect_eigens_solutions(cholesky, eigen, c.a.rows(), c.name);
        else {
            Eigen::VectorXd x;
            EXPECT_FALSE(cholesky.solve(Eigen::VectorXd::Ones(c.a.rows()), x)) << c.name;
        }
    }
}

// The patterns are worked out once: factorizations of new values on them, after a failure or a
// factor with NaNs too, start from a clean slate each time.
TEST(SimplicialFactorization, FactorizesNewValuesOnTheAnalysedPatternAsEigenDoes) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Matrix grid = scrambled_grid(7);
    const Matrix sequence[] = {grid, with_off_diagonal(grid, 5, nan), grid * 0.3,
                               with_off_diagonal(grid, 2, 0.0) * -1.0, grid * 17.0};
    SparseCholesky cholesky(1000);
    cholesky.analyse(grid);
    int step = 0;
    for (const Matrix& a : sequence) {
        const std::string name = "factorization " + std::to_string(step++);
        const Reference eigen(a);
        ASSERT_EQ(cholesky.factorize(a), eigen.info() == Eigen::Success) << name;
        if (eigen.info() == Eigen::Success)
            expect_eigens_solutions(cholesky, eigen, a.rows(), name);
    }
}

} // namespace
} // namespace pipenet::analysis
