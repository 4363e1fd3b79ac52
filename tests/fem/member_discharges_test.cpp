#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fem/member_discharges.hpp"

namespace pipenet {
namespace {

// A law of unit conductance: Q = h(a) - h(b), rounded to float.
float unit_law(std::int32_t e, const Network& net, Vec1<const float> heads) {
    return static_cast<float>(double{heads(net.connectivity.start_node(e))} -
                              double{heads(net.connectivity.end_node(e))});
}

struct FrameCase {
    const char* name;
    std::int32_t nodes;
    std::vector<std::pair<std::int32_t, std::int32_t>> pipes;
    std::vector<float> heads;
    std::vector<float> member;
    std::vector<float> nodal;
};

TEST(MemberDischargeFrame, SignsAndNodalBalance) {
    const FrameCase cases[] = {
        // Node 1 supplies the unit of flow that node 3 draws.
        {"chain", 3, {{1, 2}, {2, 3}}, {10, 9, 8}, {1, 1}, {1, 0, -1}},
        // A reversed pipe carries the opposite sign; the balance is the same.
        {"chain_second_reversed", 3, {{1, 2}, {3, 2}}, {10, 9, 8}, {1, -1}, {1, 0, -1}},
        // Equal end heads carry 0; node 4 is touched by no pipe.
        {"equal_heads_and_lone_node", 4, {{1, 2}, {2, 3}}, {5, 5, 2, 7}, {0, 3}, {0, 3, -3, 0}},
        // Two pipes into one node: 2 + 3 arrive at node 3.
        {"confluence", 3, {{1, 3}, {2, 3}}, {4, 5, 2}, {2, 3}, {2, 3, -5}},
    };
    for (const FrameCase& c : cases) {
        FixedNetwork net{};
        net.node_count = c.nodes;
        net.equation_count = c.nodes;
        net.element_count = static_cast<std::int32_t>(c.pipes.size());
        std::fill_n(net.nodal_discharge.data(), net.nodal_discharge.size(), 99.0f); // cleared first
        for (std::int32_t e = 1; e <= net.element_count; ++e) {
            net.connectivity(1, e) = c.pipes[static_cast<std::size_t>(e - 1)].first;
            net.connectivity(2, e) = c.pipes[static_cast<std::size_t>(e - 1)].second;
        }
        EquationReals heads;
        for (std::int32_t n = 1; n <= c.nodes; ++n)
            heads(n) = c.heads[static_cast<std::size_t>(n - 1)];
        member_discharges(net, heads, unit_law);
        for (std::int32_t e = 1; e <= net.element_count; ++e)
            EXPECT_EQ(net.member_discharge(e), c.member[static_cast<std::size_t>(e - 1)])
                << c.name << " pipe " << e;
        for (std::int32_t n = 1; n <= c.nodes; ++n)
            EXPECT_EQ(net.nodal_discharge(n), c.nodal[static_cast<std::size_t>(n - 1)])
                << c.name << " node " << n;
        EXPECT_EQ(net.nodal_discharge(c.nodes + 1), 99.0f) << c.name;
    }
}

} // namespace
} // namespace pipenet
