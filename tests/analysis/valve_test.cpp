// Valves read from .inp text and analysed: each kind in its states against heads worked out by
// hand with the Hazen-Williams law, and the valve input that is refused, with its line.
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/analyse.hpp"
#include "model/read_inp.hpp"

namespace pipenet::analysis {
namespace {

// Head loss (m) of a pipe at flow q (m3/s), signed with q.
double hw(double length, double diameter, double q) {
    return std::copysign(10.667 * std::pow(120.0, -1.852) * std::pow(diameter, -4.871) * length *
                             std::pow(std::abs(q), 1.852),
                         q);
}
// The flow (m3/s) through a pipe whose head loss is h.
double hw_flow(double length, double diameter, double h) {
    return std::pow(h / (10.667 * std::pow(120.0, -1.852) * std::pow(diameter, -4.871) * length),
                    1.0 / 1.852);
}
// K v^2 / 2g through the 150 mm valve at flow q, g as the .inp files take it (32.2 ft/s2).
double velocity_heads(double k, double q) {
    const double area = std::numbers::pi / 4.0 * 0.15 * 0.15;
    return k * (q / area) * (q / area) / (2.0 * 32.2 * 0.3048);
}

// R (80 m) -P1 (500 m, 200 mm)- J1 (elevation 10, 5 L/s) -V1 (150 mm)- J2 (5, 10 L/s)
// -P2 (400 m, 150 mm)- J3 (0, 8 L/s), and with `r2` a reservoir R2 -P3 (200 m, 150 mm)- J3.
std::string valve_network(const std::string& valve, double r2 = 0.0, const std::string& more = "") {
    std::string text = "[JUNCTIONS]\nJ1 10 5\nJ2 5 10\nJ3 0 8\n[RESERVOIRS]\nR 80\n";
    if (r2 > 0.0) text += "R2 " + std::to_string(r2) + "\n";
    text += "[PIPES]\nP1 R J1 500 200 120\nP2 J2 J3 400 150 120\n";
    if (r2 > 0.0) text += "P3 R2 J3 200 150 120\n";
    text += "[VALVES]\nV1 J1 J2 150 " + valve + "\n" + more + "[OPTIONS]\nUnits LPS\n";
    return text;
}

TEST(Valves, EachKindInEachStateGivesTheHeadsWorkedOutByHand) {
    const double j1 = 80.0 - hw(500, 0.2, 0.023); // J1 when all 23 L/s pass through R's pipe
    struct Case {
        std::string name, valve;
        double r2;
        std::string more;
        LinkState state;
        double q;          // valve flow, m3/s
        double h1, h2, h3; // heads, m
    };
    // PSV held at 10 + 69 = 79 m: P1 carries the flow that loses 1 m, J1 keeps 5 L/s of it.
    const double psv_q = hw_flow(500, 0.2, 1.0) - 0.005;
    const double psv_h3 = 50.0 + hw(200, 0.15, psv_q - 0.018);
    const std::vector<Case> cases = {
        // The PRV holds J2 at 5 + 30 m.
        {"prv active", "PRV 30", 0, "", LinkState::active, 0.018, j1, 35.0,
         35.0 - hw(400, 0.15, 0.008)},
        // Its setting above what R can give: fully open, a minor loss K = 2.
        {"prv open", "PRV 80 2", 0, "", LinkState::open, 0.018, j1, j1 - velocity_heads(2, 0.018),
         j1 - velocity_heads(2, 0.018) - hw(400, 0.15, 0.008)},
        // R2 at 90 m would push water back through it: closed, R2 feeds J2 and J3.
        {"prv closed", "PRV 30", 90, "", LinkState::closed, 0.0, 80.0 - hw(500, 0.2, 0.005),
         90.0 - hw(200, 0.15, 0.018) - hw(400, 0.15, 0.010), 90.0 - hw(200, 0.15, 0.018)},
        // A setting in [STATUS] replaces the valve's own.
        {"status setting", "PRV 50", 0, "[STATUS]\nV1 30\n", LinkState::active, 0.018, j1, 35.0,
         35.0 - hw(400, 0.15, 0.008)},
        {"fixed open", "PRV 30 2", 0, "[STATUS]\nV1 OPEN\n", LinkState::open, 0.018, j1,
         j1 - velocity_heads(2, 0.018), j1 - velocity_heads(2, 0.018) - hw(400, 0.15, 0.008)},
        {"psv active", "PSV 69", 50, "", LinkState::active, psv_q, 79.0,
         psv_h3 + hw(400, 0.15, psv_q - 0.010), psv_h3},
        // The breaker takes 7 m whatever the flow.
        {"pbv", "PBV 7", 0, "", LinkState::active, 0.018, j1, j1 - 7.0,
         j1 - 7.0 - hw(400, 0.15, 0.008)},
        // The FCV lets 8 L/s through; R2 gives J2 the 2 L/s more it needs through J3.
        {"fcv active", "FCV 8", 50, "", LinkState::active, 0.008, 80.0 - hw(500, 0.2, 0.013),
         50.0 - hw(200, 0.15, 0.010) - hw(400, 0.15, 0.002), 50.0 - hw(200, 0.15, 0.010)},
        // A setting above the flow the demands draw: in control, the flow below it.
        {"fcv below setting", "FCV 30", 0, "", LinkState::active, 0.018, j1, j1,
         j1 - hw(400, 0.15, 0.008)},
        {"tcv", "TCV 25", 0, "", LinkState::active, 0.018, j1, j1 - velocity_heads(25, 0.018),
         j1 - velocity_heads(25, 0.018) - hw(400, 0.15, 0.008)},
        // 18 L/s on the curve's segment from (10, 1.5) to (30, 9): 1.5 + 8/20 * 7.5 = 4.5 m.
        {"gpv", "GPV C1", 0, "[CURVES]\nC1 0 0\nC1 10 1.5\nC1 30 9\n", LinkState::active, 0.018, j1,
         j1 - 4.5, j1 - 4.5 - hw(400, 0.15, 0.008)},
    };
    for (const Case& c : cases) {
        model::Model m;
        std::vector<exchange::Diagnostic> diagnostics;
        ASSERT_TRUE(model::read_inp_model(valve_network(c.valve, c.r2, c.more), "net.inp", 0, m,
                                          diagnostics))
            << c.name << ": " << diagnostics.front().text;
        ASSERT_EQ(m.links[2 + (c.r2 > 0.0 ? 1 : 0)].kind, model::LinkKind::valve) << c.name;
        const std::size_t v = static_cast<std::size_t>(m.valves.front().link);
        const Result r = analyse(m);
        ASSERT_EQ(r.outcome, Outcome::solved)
            << c.name << ": " << (r.findings.empty() ? "" : r.findings.front().text);
        EXPECT_EQ(r.states[v], c.state) << c.name;
        EXPECT_NEAR(r.flows[v], c.q, 1e-8) << c.name;
        EXPECT_NEAR(r.heads[0], c.h1, 1e-5) << c.name;
        EXPECT_NEAR(r.heads[1], c.h2, 1e-5) << c.name;
        EXPECT_NEAR(r.heads[2], c.h3, 1e-5) << c.name;
    }
}

TEST(Valves, AValveClosedByItsStatusCutsOffTheNodesBeyondIt) {
    model::Model m;
    std::vector<exchange::Diagnostic> diagnostics;
    ASSERT_TRUE(model::read_inp_model(valve_network("FCV 8", 0, "[STATUS]\nV1 Closed\n"), "net.inp",
                                      0, m, diagnostics));
    const Result r = analyse(m);
    EXPECT_EQ(r.outcome, Outcome::solved);
    EXPECT_EQ(r.states[2], LinkState::closed);
    EXPECT_NEAR(r.heads[0], 80.0 - hw(500, 0.2, 0.005), 1e-6);
    EXPECT_FALSE(r.solved[1]);
    EXPECT_FALSE(r.solved[2]);
    ASSERT_FALSE(r.findings.empty());
    EXPECT_EQ(r.findings.front().code, model::Code::isolated_nodes);
}

TEST(Valves, BadValveInputIsRefusedWithItsLine) {
    struct Case {
        std::string valve, more;
        std::int32_t line;
        std::string says;
    };
    // The valve is on line 11 of valve_network without R2, what follows it from line 12 on.
    const std::vector<Case> cases = {
        {"PRV -5", "", 11, "setting -5, below zero"},
        {"FCV 8", "[STATUS]\nV1 -3\n", 13, "setting -3, below zero"},
        {"PRV", "", 11, "[VALVES] needs at least 6 fields"},
        {"XYZ 3", "", 11, "unknown valve type 'XYZ'"},
        {"GPV C9", "", 11, "uses curve 'C9', which does not exist"},
        {"GPV C1", "[CURVES]\nC1 10 1\nC1 5 2\n", 13, "needs increasing flows"},
        {"GPV C1", "[CURVES]\nC1 10 1\n", 13, "fewer than two points"},
        {"TCV 3", "[STATUS]\nV1 CV\n", 13, "not CV"},
        {"PRV 30", "[OPTIONS]\nPressure kPa\n", 13, "pressure unit KPA is not read"},
    };
    for (const Case& c : cases) {
        std::string text = valve_network(c.valve, 0, c.more);
        model::Model m;
        std::vector<exchange::Diagnostic> diagnostics;
        EXPECT_FALSE(model::read_inp_model(text, "net.inp", 0, m, diagnostics)) << c.valve;
        bool found = false;
        for (const exchange::Diagnostic& d : diagnostics)
            found = found || (d.severity == exchange::Severity::error && d.line == c.line &&
                              d.text.find(c.says) != std::string::npos);
        EXPECT_TRUE(found) << c.valve << " " << c.more << ": "
                           << (diagnostics.empty() ? "nothing said" : diagnostics.front().text);
    }
}

// A TCV between two reservoirs is solved, the flow following from their heads; a valve with a
// setting joined to one reservoir is solved too, each with a warning.
TEST(Valves, ValvesAtKnownHeadsThatCanBeSolvedAreWarnedOf) {
    struct Case {
        std::string valves, says;
        double flow; // of V2, m3/s
    };
    const double area = std::numbers::pi / 4.0 * 0.15 * 0.15;
    // R (80 m) to R2 (40 m) through K = 3: 40 = 3 v^2/2g.
    const std::vector<Case> cases = {
        {"V2 R R2 150 TCV 3", "its flow follows from their heads alone",
         area * std::sqrt(40.0 * 2.0 * 32.2 * 0.3048 / 3.0)},
        {"V2 R2 J3 150 FCV 3", "is a FCV joined to node 'R2' of known head", 0.003},
    };
    for (const Case& c : cases) {
        const std::string text = valve_network("PRV 30", 40, c.valves + "\n");
        model::Model m;
        std::vector<exchange::Diagnostic> diagnostics;
        ASSERT_TRUE(model::read_inp_model(text, "net.inp", 0, m, diagnostics)) << c.valves;
        bool found = false;
        for (const exchange::Diagnostic& d : diagnostics)
            found = found || (d.severity == exchange::Severity::warning && d.line == 14 &&
                              d.text.find(c.says) != std::string::npos);
        EXPECT_TRUE(found) << c.valves;
        const Result r = analyse(m);
        ASSERT_EQ(r.outcome, Outcome::solved) << c.valves;
        EXPECT_NEAR(r.flows[4], c.flow, 1e-8) << c.valves;
    }
}

TEST(Valves, AValveThatCannotControlItsNodeIsRefused) {
    struct Case {
        std::string valves, says;
    };
    // With R2, V2 is on line 14.
    const std::vector<Case> cases = {
        {"V2 R R2 150 PBV 3", "joins two nodes of known head ('R' and 'R2'): it can hold"},
        {"V2 J3 R2 150 PRV 30", "is a PRV whose controlled node 'R2' has a known head"},
        {"V2 R2 J3 150 PSV 30", "is a PSV whose controlled node 'R2' has a known head"},
        {"V2 J3 R2 0 FCV 3", "needs a positive diameter"},
        {"V2 J3 J3 150 FCV 3", "needs two different end nodes"},
    };
    for (const Case& c : cases) {
        const std::string text = valve_network("PRV 30", 40, c.valves + "\n");
        model::Model m;
        std::vector<exchange::Diagnostic> diagnostics;
        EXPECT_FALSE(model::read_inp_model(text, "net.inp", 0, m, diagnostics)) << c.valves;
        bool found = false;
        for (const exchange::Diagnostic& d : diagnostics)
            found = found || (d.line == 14 && d.text.find(c.says) != std::string::npos);
        EXPECT_TRUE(found) << c.valves << ": "
                           << (diagnostics.empty() ? "nothing said" : diagnostics.front().text);
    }
}

// A solver keeps each link's term with the topology; a model of the same topology in which a
// link is a valve in one run and a pipe in the next (one solver for many files) must be
// analysed as a fresh solver would, bit for bit.
TEST(Valves, ASolverReusedAcrossModelsOfOneTopologyFollowsWhichLinkIsAValve) {
    const std::string with_valve = valve_network("PRV 30");
    std::string with_pipe = with_valve;
    // The valve's line turned into the last pipe's: the same ends, the same place in the list.
    with_pipe.replace(with_pipe.find("[VALVES]\nV1 J1 J2 150 PRV 30\n"),
                      std::string("[VALVES]\nV1 J1 J2 150 PRV 30\n").size(), "");
    with_pipe.replace(with_pipe.find("P2 J2 J3 400 150 120\n"),
                      std::string("P2 J2 J3 400 150 120\n").size(),
                      "P2 J2 J3 400 150 120\nV1 J1 J2 50 150 120\n");
    model::Model valve;
    model::Model pipe;
    std::vector<exchange::Diagnostic> diagnostics;
    ASSERT_TRUE(model::read_inp_model(with_valve, "net.inp", 0, valve, diagnostics));
    ASSERT_TRUE(model::read_inp_model(with_pipe, "net.inp", 0, pipe, diagnostics));
    ASSERT_EQ(valve.links.size(), pipe.links.size());
    ASSERT_EQ(valve.links[2].id, pipe.links[2].id);
    ASSERT_TRUE(pipe.valves.empty());
    Solver solver;
    for (const model::Model* m : {&valve, &pipe, &valve, &pipe}) {
        const Result kept = solver.run(*m, {});
        const Result fresh = analyse(*m);
        ASSERT_EQ(fresh.outcome, Outcome::solved) << m->valves.size();
        EXPECT_EQ(kept.outcome, fresh.outcome) << m->valves.size();
        EXPECT_EQ(kept.heads, fresh.heads) << m->valves.size();
        EXPECT_EQ(kept.states, fresh.states) << m->valves.size();
    }
    // The valve holds J2 at 35 m; the pipe in its place does not.
    EXPECT_NEAR(analyse(valve).heads[1], 35.0, 1e-6);
    EXPECT_GT(analyse(pipe).heads[1], 36.0);
}

} // namespace
} // namespace pipenet::analysis
