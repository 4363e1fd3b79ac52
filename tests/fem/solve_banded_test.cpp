#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fem/assemble.hpp"
#include "fem/network_kernels.hpp"
#include "network/floating_groups.hpp"
#include "tests/fem/band_fixture.hpp"

namespace pipenet {
namespace {

using Rows = std::vector<std::vector<float>>;

// A system of N = rows.size() equations with the band given row by row.
struct System {
    FixedNetwork net{};
    std::int32_t singular_row = -1; // what the solve returned

    System(std::int32_t half_band, const Rows& rows, const std::vector<float>& rhs) {
        net.equation_count = static_cast<std::int32_t>(rows.size());
        net.node_count = net.equation_count;
        net.half_band = half_band;
        for (std::int32_t i = 1; i <= net.equation_count; ++i) {
            const auto& row = rows[static_cast<std::size_t>(i - 1)];
            for (std::int32_t m = 1; m <= static_cast<std::int32_t>(row.size()); ++m)
                net.band(i, m) = row[static_cast<std::size_t>(m - 1)];
            net.rhs(i) = rhs[static_cast<std::size_t>(i - 1)];
        }
        mark_band_entries(net);
    }

    void solve(float threshold, std::int32_t floating_row = 0) {
        singular_row = solve_banded(net, net.rhs, threshold, floating_row);
    }

    std::vector<float> solution() const {
        std::vector<float> h;
        for (std::int32_t i = 1; i <= net.equation_count; ++i) h.push_back(net.rhs(i));
        return h;
    }
};

// The chain 1-2-3 of unit conductances with node 1 held at 10 and 1 drawn at node 3.
TEST(SolveBanded, ChainExample) {
    System s(2, {{1, 0}, {2, -1}, {1, 0}}, {10, 10, -1});
    s.solve(lamnet_pivot_threshold);
    EXPECT_EQ(s.solution(), (std::vector<float>{10, 9, 8}));
    EXPECT_EQ(s.singular_row, 0);
    // Row 2 keeps its pivot and is divided by it; the last pivot is 2 - 1 * 0.5.
    EXPECT_EQ(s.net.band(2, 1), 2.0f);
    EXPECT_EQ(s.net.band(2, 2), -0.5f);
    EXPECT_EQ(s.net.band(3, 1), 0.5f);
}

// A full 3 x 3 system, K = [4 -1 -2; -1 5 -3; -2 -3 6] (half-bandwidth 3), with the solution
// (1, 2, 3): K (1, 2, 3) = (-4, 0, 10). Row 2's pivot becomes 5 - 1/4 exactly; the rest is not
// dyadic, so the solution is compared to a few units of rounding.
TEST(SolveBanded, FullBandSolvesToRounding) {
    System s(3, {{4, -1, -2}, {5, -3, 0}, {6, 0, 0}}, {-4, 0, 10});
    s.solve(lamnet_pivot_threshold);
    const std::vector<float> expected{1, 2, 3};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(s.solution()[i], expected[i], 8 * std::numeric_limits<float>::epsilon() * 3)
            << "row " << i + 1;
    EXPECT_EQ(s.net.band(1, 2), -0.25f);
    EXPECT_EQ(s.net.band(1, 3), -0.5f);
    EXPECT_EQ(s.net.band(2, 1), 4.75f); // 5 - (-1)(-1/4)
}

TEST(SolveBanded, SingleEquation) {
    System s(1, {{4}}, {10});
    s.solve(lamnet_pivot_threshold);
    EXPECT_EQ(s.solution(), (std::vector<float>{2.5f}));
    EXPECT_EQ(s.net.half_band, 1);
}

// With no couplings the solution is N divisions.
TEST(SolveBanded, HalfBandOne) {
    System s(1, {{2}, {-4}, {0.5f}, {8}}, {1, 2, 3, 4});
    s.solve(lamnet_pivot_threshold);
    EXPECT_EQ(s.solution(), (std::vector<float>{0.5f, -0.5f, 6.0f, 0.5f}));
}

struct PivotCase {
    const char* name;
    float threshold;
    float pivot;
    bool singular;
};

void PrintTo(const PivotCase& c, std::ostream* os) {
    *os << c.name;
}

class PivotTest : public ::testing::TestWithParam<std::tuple<PivotCase, std::int32_t>> {};

// The pivot is placed on the diagonal of a 3 x 3 system without couplings, at row 1 (tested in
// the elimination loop), row 2, or row 3 (the last-pivot test).
TEST_P(PivotTest, MagnitudeMustExceedTheThreshold) {
    const auto& [c, row] = GetParam();
    Rows rows{{1}, {1}, {1}};
    rows[static_cast<std::size_t>(row - 1)][0] = c.pivot;
    System s(1, rows, {1, 1, 1});
    s.solve(c.threshold);
    if (c.singular) {
        EXPECT_EQ(s.singular_row, row);
    } else {
        EXPECT_EQ(s.singular_row, 0);
        EXPECT_EQ(s.net.rhs(row), static_cast<float>(1.0 / double{c.pivot}));
    }
}

const float nan = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Thresholds, PivotTest,
    ::testing::Combine(
        ::testing::Values(
            PivotCase{"lamnet_exactly_threshold", lamnet_pivot_threshold, 1.0e-6f, true},
            PivotCase{"lamnet_negative_threshold", lamnet_pivot_threshold, -1.0e-6f, true},
            PivotCase{"lamnet_just_above", lamnet_pivot_threshold, std::nextafter(1.0e-6f, 1.0f),
                      false},
            PivotCase{"lamnet_just_above_negative", lamnet_pivot_threshold,
                      -std::nextafter(1.0e-6f, 1.0f), false},
            PivotCase{"lamnet_between_thresholds", lamnet_pivot_threshold, 1.0e-8f, true},
            PivotCase{"lamnet_zero", lamnet_pivot_threshold, 0.0f, true},
            PivotCase{"lamnet_nan", lamnet_pivot_threshold, nan, true},
            PivotCase{"turbnet_exactly_threshold", turbnet_pivot_threshold, 1.0e-10f, true},
            PivotCase{"turbnet_just_above", turbnet_pivot_threshold, std::nextafter(1.0e-10f, 1.0f),
                      false},
            PivotCase{"turbnet_between_thresholds", turbnet_pivot_threshold, 1.0e-8f, false},
            PivotCase{"turbnet_negative_zero", turbnet_pivot_threshold, -0.0f, true},
            PivotCase{"turbnet_nan", turbnet_pivot_threshold, nan, true}),
        ::testing::Values(1, 2, 3)),
    [](const ::testing::TestParamInfo<std::tuple<PivotCase, std::int32_t>>& info) {
        return std::string(std::get<0>(info.param).name) + "_row" +
               std::to_string(std::get<1>(info.param));
    });

// The thresholds are the floats nearest 1.0E-6 and 1.0E-10.
TEST(SolveBanded, ThresholdValues) {
    EXPECT_EQ(lamnet_pivot_threshold, static_cast<float>(1.0e-6));
    EXPECT_EQ(turbnet_pivot_threshold, static_cast<float>(1.0e-10));
}

// A reduced pivot, not only a diagonal as given, is tested: K = [1 1; 1 1 + 2^-21] reduces the
// second pivot to 2^-21 (about 4.8E-7), between the two thresholds.
TEST(SolveBanded, ReducedPivotIsTested) {
    System lamnet(2, {{1, 1}, {1 + std::ldexp(1.0f, -21), 0}}, {1, 1});
    lamnet.solve(lamnet_pivot_threshold);
    EXPECT_EQ(lamnet.singular_row, 2);
    System turbnet(2, {{1, 1}, {1 + std::ldexp(1.0f, -21), 0}}, {1, 1});
    turbnet.solve(turbnet_pivot_threshold);
    EXPECT_EQ(turbnet.singular_row, 0);
    // h2 = (1 - 1) / 2^-21, h1 = 1 - h2.
    EXPECT_EQ(turbnet.solution(), (std::vector<float>{1, 0}));
}

// A singular exit names the first such row.
TEST(SolveBanded, ReportsTheFirstSingularRow) {
    System s(1, {{1}, {2}, {0}, {3}, {0}}, {1, 1, 1, 1, 1});
    s.solve(lamnet_pivot_threshold);
    EXPECT_EQ(s.singular_row, 3);
    // The rows after the singular one are not touched.
    EXPECT_EQ(s.net.rhs(4), 1.0f);
}

// The solver also stops at the row the caller names as floating, before the pivot test would.
TEST(SolveBanded, StopsAtTheFloatingRow) {
    System s(1, {{1}, {1}, {1}}, {1, 1, 1});
    s.solve(lamnet_pivot_threshold, 2);
    EXPECT_EQ(s.singular_row, 2);
    EXPECT_EQ(s.net.rhs(1), 1.0f); // row 1 was eliminated, row 2 not divided
    EXPECT_EQ(s.net.rhs(2), 1.0f);
}

struct Graph {
    const char* name;
    std::int32_t nodes;
    std::vector<std::pair<std::int32_t, std::int32_t>> pipes;
    std::vector<std::int32_t> known;
    std::int32_t expected;
};

FixedNetwork graph_network(const Graph& g) {
    FixedNetwork net{};
    net.node_count = g.nodes;
    net.equation_count = g.nodes;
    net.element_count = static_cast<std::int32_t>(g.pipes.size());
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        net.connectivity(1, e) = g.pipes[static_cast<std::size_t>(e - 1)].first;
        net.connectivity(2, e) = g.pipes[static_cast<std::size_t>(e - 1)].second;
    }
    net.known_head_count = static_cast<std::int32_t>(g.known.size());
    for (std::int32_t i = 1; i <= net.known_head_count; ++i) {
        net.boundary_nodes.node(i) = g.known[static_cast<std::size_t>(i - 1)];
        net.boundary_nodes.flag(i) = 0;
    }
    return net;
}

TEST(FirstFloatingRow, LowestTopOfTheUnanchoredGroups) {
    const Graph graphs[] = {
        {"anchored_chain", 3, {{1, 2}, {2, 3}}, {1}, 0},
        {"anchored_at_the_far_end", 3, {{1, 2}, {2, 3}}, {3}, 0},
        {"isolated_node", 3, {{1, 2}}, {1}, 3},
        {"isolated_first_node", 3, {{2, 3}}, {3}, 1},
        {"isolated_but_known", 3, {{1, 2}}, {1, 3}, 0},
        {"no_known_head", 4, {{1, 2}, {2, 3}, {4, 3}}, {}, 4},
        // Groups {1,4}, {2,5}, {3,6}: {3,6} anchored; tops 4 and 5.
        {"two_floating_groups", 6, {{1, 4}, {5, 2}, {3, 6}}, {6}, 4},
        // Groups {1,5}, {2,3}, {4,6}: only {2,3} floats.
        {"anchored_groups_around_a_floating_one", 6, {{5, 1}, {2, 3}, {4, 6}}, {1, 6}, 3},
        // One group joined through a later pipe: {1,2,3,4} anchored at 4.
        {"merged_late", 4, {{1, 2}, {3, 4}, {2, 3}}, {4}, 0},
        {"pipe_to_itself", 2, {{1, 1}, {2, 2}}, {1}, 2},
        {"no_pipes_all_known", 2, {}, {2, 1}, 0},
        {"single_node_unknown", 1, {}, {}, 1},
    };
    for (const Graph& g : graphs)
        EXPECT_EQ(first_floating_row(graph_network(g)), g.expected) << g.name;
}

// A floating triangle (no known head) with conductances in the hundreds: exact elimination meets
// a zero last pivot, but its float rounding residue (about 6E-5) lies above the threshold. The
// pivot test alone lets it through; the floating row stops the solver at row 3.
TEST(SolveBanded, FloatingGroupIsCaughtDespiteItsResidue) {
    const Graph triangle{"triangle", 3, {{1, 2}, {1, 3}, {2, 3}}, {}, 3};
    const float conductance[] = {990.0f, 308.0f, 571.0f};
    auto assembled = [&] {
        FixedNetwork net = graph_network(triangle);
        net.half_band = 3;
        assemble_global(net, net.rhs, [&](std::int32_t e, Network& n, Vec1<const float>) {
            float c = conductance[e - 1];
            n.element_matrix(1, 1) = c;
            n.element_matrix(2, 1) = -c;
            n.element_matrix(1, 2) = -c;
            n.element_matrix(2, 2) = c;
        });
        net.rhs(1) = 1.0f; // any load: the heads of a floating group are undetermined
        net.rhs(3) = -1.0f;
        find_band_pattern(net);
        return net;
    };

    FixedNetwork net = assembled();
    ASSERT_EQ(solve_banded(net, net.rhs, lamnet_pivot_threshold, 0), 0)
        << "the fixture no longer leaves a residue above 1.0E-6";
    ASSERT_GT(std::fabs(net.band(3, 1)), lamnet_pivot_threshold);

    net = assembled();
    ASSERT_EQ(first_floating_row(net), 3);
    EXPECT_EQ(solve_banded(net, net.rhs, lamnet_pivot_threshold, first_floating_row(net)), 3);
}

} // namespace
} // namespace pipenet
