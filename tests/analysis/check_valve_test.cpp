// Check valves on pipes: open with the flow, closed against it (carrying nothing), and the nodes
// they cut off from every known head named.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/analyse.hpp"
#include "model_fixture.hpp"

namespace pipenet::analysis {
namespace {

using model::Model;

// R1 feeds J1 through a check valve P1 (500 m, 150 mm, C 120); R2 at 50 m through a plain
// pipe P2 (800 m, same); J1 draws 10 L/s.
Model two_sources(double r1_head) {
    Model m;
    m.law = model::HeadLossLaw::hazen_williams_inp;
    model::add_node(m, "R1", 0.0, r1_head);
    model::add_node(m, "R2", 0.0, 50.0);
    model::add_node(m, "J1", -0.01);
    model::add_link(m, "P1", 0, 2, 500.0, 0.15, 120.0);
    model::add_link(m, "P2", 1, 2, 800.0, 0.15, 120.0);
    m.links[0].check_valve = true;
    return m;
}

TEST(CheckValves, OpenWithTheFlowClosedAgainstIt) {
    struct Case {
        double r1_head;
        LinkState state;
        double j1_head, p1_flow; // worked out by hand (bisection on J1's balance for the open one)
    };
    // Closed: J1 = 50 - 10.667 * 120^-1.852 * 0.15^-4.871 * 800 * 0.01^1.852 = 47.5467 > 40.
    // Open: the flows of both pipes meet at J1: P1 carries 21.96 L/s, P2 takes 11.96 L/s back.
    const std::vector<Case> cases = {
        {40.0, LinkState::closed, 47.5467145024, 0.0},
        {60.0, LinkState::open, 53.4179321974, 0.0219608507},
    };
    for (const Case& c : cases) {
        const Result r = analyse(two_sources(c.r1_head));
        ASSERT_EQ(r.outcome, Outcome::solved) << c.r1_head;
        EXPECT_EQ(r.states[0], c.state) << c.r1_head;
        EXPECT_EQ(r.states[1], LinkState::open) << c.r1_head;
        EXPECT_NEAR(r.heads[2], c.j1_head, 1e-6) << c.r1_head;
        EXPECT_NEAR(r.flows[0], c.p1_flow, 1e-9) << c.r1_head;
        if (c.state == LinkState::closed) {
            EXPECT_EQ(r.flows[0], 0.0);
        }
        EXPECT_NEAR(r.flows[0] + r.flows[1], 0.01, 1e-9) << c.r1_head;
        EXPECT_TRUE(r.findings.empty()) << (r.findings.empty() ? "" : r.findings.front().text);
    }
}

TEST(CheckValves, NodesCutOffByClosedCheckValvesAreNamed) {
    // J1 can be reached only through P1, a check valve pointing from J1 to the reservoir.
    Model m;
    m.law = model::HeadLossLaw::hazen_williams_inp;
    model::add_node(m, "R", 0.0, 50.0);
    model::add_node(m, "J1", -0.01);
    model::add_node(m, "J2", -0.001);
    model::add_link(m, "P1", 1, 0, 500.0, 0.15, 120.0);
    model::add_link(m, "P2", 1, 2, 100.0, 0.1, 120.0);
    m.links[0].check_valve = true;
    const Result r = analyse(m);
    EXPECT_NE(r.outcome, Outcome::solved);
    EXPECT_EQ(r.states[0], LinkState::closed);
    EXPECT_EQ(r.flows[0], 0.0);
    bool named = false;
    for (const model::Finding& f : r.findings)
        if (f.code == model::Code::cut_off_by_check_valves)
            named = f.text.find("2 junction(s)") != std::string::npos &&
                    f.text.find("J1, J2") != std::string::npos;
    EXPECT_TRUE(named);

    // Turned round, the valve lets the water through and the network is solved.
    std::swap(m.links[0].start, m.links[0].end);
    const Result open = analyse(m);
    ASSERT_EQ(open.outcome, Outcome::solved);
    EXPECT_EQ(open.states[0], LinkState::open);
    EXPECT_NEAR(open.flows[0], 0.011, 1e-9);
}

} // namespace
} // namespace pipenet::analysis
