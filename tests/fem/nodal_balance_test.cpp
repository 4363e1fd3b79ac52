// check_nodal_balance: which node is worst, what is allowed, and when the balance is off.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "fem/nodal_balance.hpp"

namespace pipenet {
namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr double no_floor = 0.0;

struct BalanceCase {
    std::string_view name;
    std::vector<float> given;
    std::vector<float> computed;
    std::vector<bool> known_head;
    double floor;
    std::int32_t worst_node; // 0: no node without a known head
    double allowed;
    bool off;
};

std::ostream& operator<<(std::ostream& os, const BalanceCase& c) {
    return os << c.name;
}

class NodalBalance : public ::testing::TestWithParam<BalanceCase> {};

TEST_P(NodalBalance, FindsTheWorstNodeAndJudgesIt) {
    const BalanceCase& c = GetParam();
    // std::vector<bool> has no contiguous storage to view.
    auto marks = std::make_unique<bool[]>(c.known_head.size());
    std::copy(c.known_head.begin(), c.known_head.end(), marks.get());
    const BalanceCheck check = check_nodal_balance(
        c.given, c.computed, std::span<const bool>(marks.get(), c.known_head.size()), c.floor);
    EXPECT_EQ(check.node, c.worst_node);
    EXPECT_DOUBLE_EQ(check.allowed, c.allowed);
    EXPECT_EQ(check.off(), c.off);
    if (c.worst_node != 0) {
        const auto i = static_cast<std::size_t>(c.worst_node - 1);
        if (std::isnan(c.computed[i])) {
            EXPECT_TRUE(std::isnan(check.computed));
        } else {
            EXPECT_EQ(check.computed, c.computed[i]);
        }
        EXPECT_EQ(check.given, c.given[i]);
        if (!std::isnan(c.computed[i])) {
            EXPECT_DOUBLE_EQ(check.difference,
                             std::fabs(double{c.computed[i]} - double{c.given[i]}));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fem, NodalBalance,
    ::testing::Values(
        // Node 1 holds the known head and takes what the others draw; nodes 2 and 3 are met.
        BalanceCase{"balanced",
                    {0, -0.6f, -0.2f},
                    {0.8f, -0.6f, -0.2f},
                    {true, false, false},
                    no_floor,
                    2,
                    0.01 * double{0.6f},
                    false},
        // 1 % of the largest given draw (0.6) is 0.01 * double{0.6f}: 0.005 off passes, 0.007 does
        // not.
        BalanceCase{"just_within",
                    {0, -0.6f, -0.2f},
                    {0.8f, -0.6f, -0.195f},
                    {true, false, false},
                    no_floor,
                    3,
                    0.01 * double{0.6f},
                    false},
        BalanceCase{"just_beyond",
                    {0, -0.6f, -0.2f},
                    {0.8f, -0.6f, -0.193f},
                    {true, false, false},
                    no_floor,
                    3,
                    0.01 * double{0.6f},
                    true},
        // A node no record gives counts as given 0; here it carries 15 away.
        BalanceCase{"node_given_nothing",
                    {0, 0, -0.6f},
                    {-14.4f, 15.0f, -0.6f},
                    {true, false, false},
                    no_floor,
                    2,
                    0.01 * double{0.6f},
                    true},
        // The discharge given at a known head plays no part, neither in the scale nor as a node.
        BalanceCase{"given_at_known_head_ignored",
                    {1000, -0.6f},
                    {0.6f, -0.6f},
                    {true, false},
                    no_floor,
                    2,
                    0.01 * double{0.6f},
                    false},
        // Nothing given: the scale is the largest net discharge at a known head (2.0 here).
        BalanceCase{"none_given_within",
                    {0, 0, 0},
                    {2.0f, -1.99f, 0.015f},
                    {true, true, false},
                    no_floor,
                    3,
                    0.02,
                    false},
        BalanceCase{"none_given_beyond",
                    {0, 0, 0},
                    {2.0f, -1.97f, 0.03f},
                    {true, true, false},
                    no_floor,
                    3,
                    0.02,
                    true},
        // Flows that are themselves rounding: the floor keeps them quiet.
        BalanceCase{"rounding_below_floor",
                    {0, 0, 0},
                    {3e-11f, -1e-11f, -2e-11f},
                    {true, false, false},
                    0.5e-4,
                    3,
                    0.5e-4,
                    false},
        BalanceCase{"rounding_without_floor",
                    {0, 0, 0},
                    {3e-11f, -1e-11f, -2e-11f},
                    {true, false, false},
                    no_floor,
                    3,
                    0.01 * double{3e-11f},
                    true},
        // The first of equal differences is the worst.
        BalanceCase{"first_of_equals",
                    {-1, -1, 0},
                    {-0.5f, -1.5f, 2.0f},
                    {false, false, true},
                    no_floor,
                    1,
                    0.01,
                    true},
        // A computed value that is not a number is the worst there is, and always off.
        BalanceCase{"not_a_number",
                    {-1, -1, 0},
                    {-3.0f, nan, 4.0f},
                    {false, false, true},
                    no_floor,
                    2,
                    0.01,
                    true},
        // Every head known: nothing to check.
        BalanceCase{"every_head_known",
                    {0, -5},
                    {7.0f, -9.0f},
                    {true, true},
                    no_floor,
                    0,
                    0.01 * 9.0,
                    false},
        // No head known and nothing flows: exactly balanced stays silent, even with no floor.
        BalanceCase{
            "nothing_flows", {0, 0}, {0.0f, -0.0f}, {false, false}, no_floor, 1, 0.0, false}),
    [](const ::testing::TestParamInfo<BalanceCase>& info) { return std::string(info.param.name); });

TEST(NodalBalance, BalanceErrorIsComputedMinusGiven) {
    EXPECT_DOUBLE_EQ(balance_error(-0.05f, 0.0f), double{0.05f});
    EXPECT_DOUBLE_EQ(balance_error(1.0f, 0.25f), -0.75);
}

// The network form reads the known heads from the boundary list and looks at nodes
// 1 ... node_count only.
TEST(NodalBalance, NetworkFormUsesTheBoundaryList) {
    FixedNetwork net;
    net.node_count = 3;
    net.known_head_count = 1;
    net.boundary_nodes.node(1) = 2;
    net.nodal_discharge(1) = -0.5f;
    net.nodal_discharge(2) = 0.9f; // the source: not checked
    net.nodal_discharge(3) = -0.4f;
    net.nodal_discharge(4) = 100.0f; // beyond node_count
    net.known_discharge(1) = -0.5f;
    net.known_discharge(3) = -0.2f;
    const BalanceCheck check = check_nodal_balance(net, 0.0);
    EXPECT_EQ(check.node, 3);
    EXPECT_DOUBLE_EQ(check.allowed, 0.01 * double{0.5f});
    EXPECT_TRUE(check.off());
}

} // namespace
} // namespace pipenet
