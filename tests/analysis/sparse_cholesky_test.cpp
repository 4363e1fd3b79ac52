// Both factorizations behind the analysis's sparse solve: Eigen's simplicial one and CHOLMOD's.
#include <string>
#include <vector>

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
};

class BothFactorizations : public testing::TestWithParam<Side> {};

INSTANTIATE_TEST_SUITE_P(SparseCholesky, BothFactorizations,
                         testing::Values(Side{"simplicial", 1000, false}, Side{"cholmod", 1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(BothFactorizations, SolvesWithNewValuesOnTheAnalysedPattern) {
    const int n = 40;
    SparseCholesky cholesky(GetParam().large_from);
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

TEST_P(BothFactorizations, ReportsAMatrixThatIsNotPositiveDefiniteAndPrintsNothing) {
    // A ring tied to its known heads by negative conductances (indefinite), and a node with no
    // conductance at all (a zero pivot, exactly).
    Matrix zero_row(12, 12);
    for (int i = 0; i < 12; ++i) zero_row.insert(i, i) = i == 7 ? 0.0 : 2.0;
    zero_row.makeCompressed();
    for (const Matrix& a : {ring(12, -0.5), zero_row}) {
        SparseCholesky cholesky(GetParam().large_from);
        cholesky.analyse(a);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const bool factorized = cholesky.factorize(a);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_FALSE(factorized);
    }
}

} // namespace
} // namespace pipenet::analysis
