// One network per plausibility code, each with the mistake it is meant to catch.
#include <functional>

#include <gtest/gtest.h>

#include "analysis/plausibility.hpp"
#include "model_fixture.hpp"

namespace pipenet::analysis {
namespace {

using model::add_link;
using model::add_node;
using model::Code;
using model::Model;

// A reservoir and three junctions in a row, with plausible draws in m3/s.
Model street() {
    Model m;
    add_node(m, "R", 0.0, 40.0);
    add_node(m, "A", -0.004);
    add_node(m, "B", -0.003);
    add_node(m, "C", -0.005);
    add_link(m, "P1", 0, 1, 300.0, 0.2);
    add_link(m, "P2", 1, 2, 300.0, 0.15);
    add_link(m, "P3", 2, 3, 300.0, 0.1);
    return m;
}

std::vector<Code> codes_of(const Model& m) {
    std::vector<Code> codes;
    for (const model::Finding& f : input_findings(m)) codes.push_back(f.code);
    const Result r = analyse(m);
    for (const model::Finding& f : result_findings(m, r)) codes.push_back(f.code);
    return codes;
}

TEST(Plausibility, EachMistakeGivesItsCodeAndAPlausibleNetworkNone) {
    EXPECT_TRUE(codes_of(street()).empty());
    struct Case {
        const char* name;
        std::function<void(Model&)> mistake;
        std::vector<Code> codes;
    };
    const Case cases[] = {
        // Litres per second typed where m3/s are meant: every draw a thousand times too large.
        {"L/s",
         [](Model& m) {
             for (auto& n : m.nodes) n.demand.value *= 1000;
         },
         {Code::velocity_high, Code::head_far_below}},
        {"signs flipped",
         [](Model& m) {
             for (auto& n : m.nodes) n.demand.value = -n.demand.value;
         },
         {Code::all_inflows}},
        {"one outlier",
         [](Model& m) {
             add_node(m, "D", -0.004);
             add_node(m, "E", -0.002);
             add_link(m, "P4", 3, 4, 100.0, 0.1);
             add_link(m, "P5", 4, 5, 100.0, 0.1);
             m.nodes[2].demand.value = -0.5;
         },
         {Code::discharge_outlier, Code::velocity_high, Code::head_far_below}},
    };
    for (const Case& c : cases) {
        Model m = street();
        c.mistake(m);
        EXPECT_EQ(codes_of(m), c.codes) << c.name;
    }
}

TEST(Plausibility, LaminarNetworkOutOfTheLaminarRange) {
    // Water at 20 C (rho g / mu = 97 900 per cm s) through a 2 cm tube under 50 cm of head
    // over 100 cm: v is some 240 cm/s, Re = v D / nu near 48 000.
    Model m;
    m.law = model::HeadLossLaw::laminar;
    m.rho_g_over_mu.value = 97900.0;
    add_node(m, "1", 0.0, 100.0);
    add_node(m, "2", 0.0, 50.0);
    add_link(m, "1", 0, 1, 100.0, 2.0);
    const Result r = analyse(m);
    const auto findings = result_findings(m, r);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].code, Code::reynolds_not_laminar);
    // A capillary of 0.05 cm under the same head stays laminar.
    m.links[0].diameter.value = 0.05;
    EXPECT_TRUE(result_findings(m, analyse(m)).empty());
}

} // namespace
} // namespace pipenet::analysis
