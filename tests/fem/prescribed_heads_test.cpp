#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fem/network_kernels.hpp"
#include "tests/fem/band_fixture.hpp"

namespace pipenet {
namespace {

using Rows = std::vector<std::vector<float>>;

struct Known {
    std::int32_t node;
    float head;
    std::int32_t flag = 0;
};

struct HeadsCase {
    const char* name;
    std::int32_t half_band;
    Rows band_before; // rows 1 ... N, each half_band wide (entries beyond N as 0)
    std::vector<float> rhs_before;
    std::vector<Known> known;
    Rows band_after;
    std::vector<float> rhs_after;
};

void PrintTo(const HeadsCase& c, std::ostream* os) {
    *os << c.name;
}

class PrescribedHeads : public ::testing::TestWithParam<HeadsCase> {};

constexpr float untouched = -999.5f;

TEST_P(PrescribedHeads, MovesKnownColumnsToTheRightHandSide) {
    const HeadsCase& c = GetParam();
    FixedNetwork net{};
    const auto n = static_cast<std::int32_t>(c.band_before.size());
    net.equation_count = n;
    net.node_count = n;
    net.half_band = c.half_band;
    std::fill_n(net.band.data(), band_rows * max_half_band, untouched);
    std::fill_n(net.rhs.data(), net.rhs.size(), untouched);
    for (std::int32_t i = 1; i <= n; ++i) {
        for (std::int32_t m = 1; m <= c.half_band; ++m)
            net.band(i, m) =
                c.band_before[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(m - 1)];
        net.rhs(i) = c.rhs_before[static_cast<std::size_t>(i - 1)];
    }
    net.known_head_count = static_cast<std::int32_t>(c.known.size());
    for (std::int32_t i = 1; i <= net.known_head_count; ++i) {
        const Known& k = c.known[static_cast<std::size_t>(i - 1)];
        net.boundary_nodes.node(i) = k.node;
        net.boundary_nodes.flag(i) = k.flag;
        net.prescribed_head(k.node) = k.head;
    }
    mark_band_entries(net);

    apply_prescribed_heads(net, net.rhs);

    for (std::int32_t i = 1; i <= n; ++i) {
        for (std::int32_t m = 1; m <= c.half_band; ++m)
            EXPECT_EQ(
                net.band(i, m),
                c.band_after[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(m - 1)])
                << "band(" << i << ", " << m << ")";
        EXPECT_EQ(net.rhs(i), c.rhs_after[static_cast<std::size_t>(i - 1)]) << "rhs(" << i << ")";
    }
    // Nothing outside the system is touched.
    EXPECT_EQ(net.rhs(n + 1), untouched);
    for (std::int32_t m = c.half_band + 1; m <= max_half_band; ++m)
        EXPECT_EQ(net.band(1, m), untouched) << "column " << m;
    EXPECT_EQ(net.band(n + 1, 1), untouched);
}

// Chain 1-2-3 of unit conductances: K = [1 -1 0; -1 2 -1; 0 -1 1], load (0, 0, -1).
const Rows chain = {{1, -1}, {2, -1}, {1, 0}};

// Node 1 with pipes to 2 (conductance 1) and 3 (conductance 2), and 2-3 (conductance 4):
// K = [3 -1 -2; -1 5 -4; -2 -4 6].
const Rows triangle = {{3, -1, -2}, {5, -4, 0}, {6, 0, 0}};

INSTANTIATE_TEST_SUITE_P(
    Cases, PrescribedHeads,
    ::testing::Values(
        // First row: the column part (rows above) is empty.
        HeadsCase{"chain_first_node",
                  2,
                  chain,
                  {0, 0, -1},
                  {{1, 10.0f}},
                  {{1, 0}, {2, -1}, {1, 0}},
                  {10, 10, -1}},
        // Last row: the row part (rows below) is empty; rhs(2) -= (-1)(5).
        HeadsCase{"chain_last_node",
                  2,
                  chain,
                  {0, 0, -1},
                  {{3, 5.0f}},
                  {{1, -1}, {2, 0}, {1, 0}},
                  {0, 5, 5}},
        // Middle row: both parts act; the given discharge at node 2 is replaced by its head.
        HeadsCase{"chain_middle_node",
                  2,
                  chain,
                  {0, 3, -1},
                  {{2, 4.0f}},
                  {{1, 0}, {1, 0}, {1, 0}},
                  {4, 4, 3}},
        // Both couplings of node 1 move: rhs(2) = 1 + 1*10, rhs(3) = -1 + 2*10.
        HeadsCase{"coupled_two_places_away",
                  3,
                  triangle,
                  {0, 1, -1},
                  {{1, 10.0f}},
                  {{1, 0, 0}, {5, -4, 0}, {6, 0, 0}},
                  {10, 11, 19}},
        // Middle node of the triangle: band(1,2) and band(2,2) are both cleared.
        HeadsCase{"coupled_above_and_below",
                  3,
                  triangle,
                  {2, 0, 1},
                  {{2, 0.5f}},
                  {{3, 0, -2}, {1, 0, 0}, {6, 0, 0}},
                  {2.5f, 0.5f, 3}},
        // No off-diagonal columns: only the unit row and the value.
        HeadsCase{"half_band_one",
                  1,
                  {{2}, {3}, {4}},
                  {1, 1, 1},
                  {{2, -6.0f}},
                  {{2}, {1}, {4}},
                  {1, -6, 1}},
        // The second time the row and column are already clear: the same result.
        HeadsCase{"node_listed_twice",
                  2,
                  chain,
                  {0, 0, -1},
                  {{1, 10.0f}, {1, 10.0f}},
                  {{1, 0}, {2, -1}, {1, 0}},
                  {10, 10, -1}},
        // Two known heads: rhs(2) = 0 + 10 + 2.
        HeadsCase{"both_ends_known",
                  2,
                  chain,
                  {0, 0, -1},
                  {{1, 10.0f}, {3, 2.0f}},
                  {{1, 0}, {2, 0}, {1, 0}},
                  {10, 12, 2}},
        // An entry whose flag is not 0 is skipped entirely.
        HeadsCase{"flag_not_zero",
                  2,
                  chain,
                  {0, 0, -1},
                  {{1, 10.0f, 1}},
                  {{1, -1}, {2, -1}, {1, 0}},
                  {0, 0, -1}}),
    [](const ::testing::TestParamInfo<HeadsCase>& info) { return std::string(info.param.name); });

// The load update is one rounding of load - band * v: with band and v both 1 + 2^-12 the product
// is 1 + 2^-11 + 2^-24, and 2 minus it, 1 - 2^-11 - 2^-24, is a float. Rounding the product to
// float first (a tie, to 1 + 2^-11) would lose the last term.
TEST(PrescribedHeadsRounding, EachUpdateIsOneFloatRounding) {
    const float coupling = 1.0f + std::ldexp(1.0f, -12);
    FixedNetwork net{};
    net.equation_count = 2;
    net.node_count = 2;
    net.half_band = 2;
    net.band(1, 1) = 1.0f;
    net.band(1, 2) = coupling;
    net.band(2, 1) = 1.0f;
    net.rhs(2) = 2.0f;
    net.known_head_count = 1;
    net.boundary_nodes.node(1) = 1;
    net.prescribed_head(1) = coupling;
    mark_band_entries(net);
    apply_prescribed_heads(net, net.rhs);
    EXPECT_EQ(net.rhs(2), 1.0f - std::ldexp(1.0f, -11) - std::ldexp(1.0f, -24));
    EXPECT_EQ(net.rhs(1), coupling);
    EXPECT_EQ(net.band(1, 2), 0.0f);
}

} // namespace
} // namespace pipenet
