// Pumps: each form of head curve, constant power and speed, fitted and solved against values
// worked out by hand (bisection on the balance of the one junction); closed by status or because
// they cannot lift to the head beyond them; curves that cannot be a pump's refused.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/analyse.hpp"
#include "analysis/pump_laws.hpp"
#include "exchange/inp_reader.hpp"
#include "model/read_inp.hpp"
#include "model_fixture.hpp"

namespace pipenet::analysis {
namespace {

using model::CurvePoint;
using model::Model;

model::Pump pump_of(std::vector<CurvePoint> curve, double power = 0.0, double speed = 1.0) {
    model::Pump pump;
    pump.curve = std::move(curve);
    pump.power = power;
    pump.speed = speed;
    return pump;
}

// Adds pump `id` from node `start` to `end`.
void add_pump(Model& m, std::string id, int start, int end, model::Pump pump) {
    model::Link link;
    link.id = std::move(id);
    link.kind = model::LinkKind::pump;
    link.start = start;
    link.end = end;
    link.record = {static_cast<std::int32_t>(m.links.size()) + 10, 1, 40};
    pump.link = static_cast<std::int32_t>(m.links.size());
    m.links.push_back(link);
    m.pumps.push_back(std::move(pump));
}

// R (head 0) lifts through the pump to J1 (draws 8 L/s), which feeds the tank T (head
// `tank_head`) through 600 m of 200 mm pipe, C 120.
Model lift_to_tank(model::Pump pump, double tank_head = 35.0) {
    Model m;
    m.law = model::HeadLossLaw::hazen_williams_inp;
    model::add_node(m, "R", 0.0, 0.0);
    model::add_node(m, "J1", -0.008);
    model::add_node(m, "T", 0.0, tank_head);
    model::add_link(m, "P1", 1, 2, 600.0, 0.2, 120.0);
    add_pump(m, "PU", 0, 1, std::move(pump));
    return m;
}

const std::vector<CurvePoint> three_points = {{0.0, 70.0}, {0.015, 60.0}, {0.03, 35.0}};

TEST(Pumps, FittedCurvesPassThroughTheirPointsAndScaleWithSpeed) {
    struct Case {
        const char* name;
        std::vector<CurvePoint> curve;
        PumpCurve::Form form;
        double shutoff;
    };
    const std::vector<Case> cases = {
        // One point: shutoff 1.33334 H1, and no head at twice its flow.
        {"one point", {{0.02, 55.0}}, PumpCurve::Form::power_curve, 1.33334 * 55.0},
        {"three points", three_points, PumpCurve::Form::power_curve, 70.0},
        {"three points away from zero flow",
         {{0.005, 66.0}, {0.015, 60.0}, {0.03, 35.0}},
         PumpCurve::Form::points,
         69.0},
        {"five points",
         {{0.0, 72.0}, {0.01, 68.0}, {0.02, 60.0}, {0.03, 45.0}, {0.04, 20.0}},
         PumpCurve::Form::points,
         72.0},
        // C = ln(100/99) / ln(10^6) = 0.000727: turned round, its power law overflows far below
        // the shutoff head.
        {"an exponent near 0",
         {{0.0, 100.0}, {1e-6, 1.0}, {1.0, 0.0}},
         PumpCurve::Form::power_curve,
         100.0},
    };
    for (const Case& c : cases) {
        const PumpCurve curve = pump_curve(pump_of(c.curve));
        ASSERT_TRUE(curve.why.empty()) << c.name << ": " << curve.why;
        EXPECT_EQ(curve.form, c.form) << c.name;
        for (double speed : {1.0, 0.8, 1.2}) {
            const PumpLaw law = pump_law(curve, speed);
            // The affinity laws: flow times s, head times s^2.
            EXPECT_NEAR(law.shutoff, speed * speed * c.shutoff, 1e-9) << c.name << speed;
            std::vector<CurvePoint> points = c.curve;
            if (points.size() == 1) points.push_back({2.0 * points[0].flow, 0.0});
            for (const CurvePoint& p : points) {
                const double q = speed * p.flow;
                if (q == 0.0) continue;
                const PumpGain g = pump_gain(law, q);
                EXPECT_NEAR(g.gain, speed * speed * p.head, 1e-9) << c.name << " at " << p.flow;
                EXPECT_LT(g.slope, 0.0) << c.name << " at " << p.flow;
                EXPECT_NEAR(pump_flow_at(law, g.gain), q, 1e-12) << c.name << " at " << p.flow;
            }
            // Far beyond the curve, where the network drives water through the pump, the
            // law still turns round to a finite flow.
            for (double gain : {-10.0 * c.shutoff, -1e6 * c.shutoff}) {
                const double q = pump_flow_at(law, gain);
                ASSERT_TRUE(std::isfinite(q)) << c.name << " at gain " << gain;
                EXPECT_NEAR(pump_gain(law, q).gain, gain, 1e-9 * std::abs(gain))
                    << c.name << " at gain " << gain;
                EXPECT_LT(pump_gain(law, q).slope, 0.0) << c.name << " at gain " << gain;
            }
        }
    }
}

TEST(Pumps, ConstantPowerAddsPowerOverWeightAndFlow) {
    const PumpLaw law = pump_law(pump_curve(pump_of({}, 10000.0)), 1.0);
    for (double q : {0.001, 0.02, 0.5}) {
        // 62.4 lbf/ft^3 = 9802.2 N/m^3.
        const double gain = 10000.0 / (9802.2 * q);
        EXPECT_NEAR(pump_gain(law, q).gain, gain, 1e-5 * gain) << q;
        EXPECT_NEAR(pump_flow_at(law, gain), q, 1e-5 * q) << q;
    }
}

TEST(Pumps, CurvesNoPumpCanHaveAreRefused) {
    struct Case {
        const char* name;
        model::Pump pump;
        const char* why;
    };
    const std::vector<Case> cases = {
        {"no curve and no power", pump_of({}), "no head curve"},
        {"one point at zero flow", pump_of({{0.0, 40.0}}), "one point"},
        {"one point of no head", pump_of({{0.01, 0.0}}), "one point"},
        {"flows falling", pump_of({{0.0, 40.0}, {0.02, 30.0}, {0.01, 20.0}}), "flows"},
        {"heads rising", pump_of({{0.0, 40.0}, {0.01, 45.0}, {0.02, 20.0}}), "heads"},
    };
    for (const Case& c : cases) {
        EXPECT_NE(pump_curve(c.pump).why.find(c.why), std::string::npos)
            << c.name << ": " << pump_curve(c.pump).why;
        // The analysis refuses the pump by name, at its record.
        const Result r = analyse(lift_to_tank(c.pump));
        EXPECT_EQ(r.outcome, Outcome::refused) << c.name;
        ASSERT_EQ(r.findings.size(), 1u) << c.name;
        EXPECT_EQ(r.findings[0].code, model::Code::bad_link) << c.name;
        EXPECT_NE(r.findings[0].text.find("link PU"), std::string::npos) << c.name;
        EXPECT_EQ(r.findings[0].place.line, 11) << c.name;
    }
}

TEST(Pumps, LiftWaterToWhereTheirCurveMeetsTheNetwork) {
    // Worked out by bisection on the pump's flow Q: its gain at Q equals the tank's head plus
    // the pipe's Hazen-Williams loss at Q - 8 L/s.
    struct Case {
        const char* name;
        model::Pump pump;
        double flow, j1_head;
    };
    const std::vector<Case> cases = {
        {"three points", pump_of(three_points), 0.0291308260, 36.8112486648},
        {"five points",
         pump_of({{0.0, 72.0}, {0.01, 68.0}, {0.02, 60.0}, {0.03, 45.0}, {0.04, 20.0}}),
         0.0330100762, 37.4748095111},
        {"10 kW", pump_of({}, 10000.0), 0.0278621502, 36.6150181384},
        {"three points at speed 1.2", pump_of(three_points, 0.0, 1.2), 0.0403081864, 38.9763048020},
    };
    for (const Case& c : cases) {
        const Result r = analyse(lift_to_tank(c.pump));
        ASSERT_EQ(r.outcome, Outcome::solved) << c.name;
        EXPECT_EQ(r.states[1], LinkState::open) << c.name;
        EXPECT_NEAR(r.flows[1], c.flow, 1e-8) << c.name;
        EXPECT_NEAR(r.heads[1], c.j1_head, 1e-6) << c.name;
        EXPECT_TRUE(r.findings.empty()) << c.name << ": " << r.findings.front().text;
    }

    // A pump alone feeding a demand of 30 L/s: J1's head is the one-point curve's gain there,
    // 73.3337 - (18.3337 / 0.02^C) 0.03^C with C = log2(73.3337 / 18.3337).
    Model m;
    m.law = model::HeadLossLaw::hazen_williams_inp;
    model::add_node(m, "R", 0.0, 0.0);
    model::add_node(m, "J1", -0.03);
    add_pump(m, "PU", 0, 1, pump_of({{0.02, 55.0}}));
    const Result r = analyse(m);
    ASSERT_EQ(r.outcome, Outcome::solved);
    EXPECT_NEAR(r.heads[1], 32.0832369467, 1e-8);
    EXPECT_NEAR(r.flows[0], 0.03, 1e-12);
}

TEST(Pumps, ClosedByStatusOrWhenTheyCannotLiftThatHigh) {
    // The tank at 80 m, above the shutoff head of 70 m, feeds J1 back through the pipe:
    // J1 = 80 - 10.667 * 120^-1.852 * 0.2^-4.871 * 600 * 0.008^1.852.
    for (bool by_status : {false, true}) {
        Model m = lift_to_tank(pump_of(three_points), 80.0);
        if (by_status) m.links[1].status = model::LinkStatus::closed;
        const Result r = analyse(m);
        ASSERT_EQ(r.outcome, Outcome::solved) << by_status;
        EXPECT_EQ(r.states[1], LinkState::closed) << by_status;
        EXPECT_EQ(r.flows[1], 0.0) << by_status;
        EXPECT_NEAR(r.heads[1], 79.7002525999, 1e-6) << by_status;
        // Only the pump that could not lift is reported, with the head it lacked.
        ASSERT_EQ(r.findings.size(), by_status ? 0u : 1u) << by_status;
        if (!by_status) {
            EXPECT_EQ(r.findings[0].code, model::Code::pump_cannot_deliver);
            // J1's head above R's 0 m, to six digits; the shutoff head is the curve's 70 m.
            EXPECT_NE(r.findings[0].text.find("pump PU is closed: it would have to add 79.7003 m "
                                              "of head, at least its shutoff head of 70 m"),
                      std::string::npos)
                << r.findings[0].text;
        }
    }
    // Lowered below the shutoff head, the same tank lets the pump open again.
    const Result r = analyse(lift_to_tank(pump_of(three_points), 65.0));
    ASSERT_EQ(r.outcome, Outcome::solved);
    EXPECT_EQ(r.states[1], LinkState::open);
    EXPECT_GT(r.flows[1], 0.0);
}

TEST(Pumps, ReadFromInpInTheFilesUnitsWithTheirStatusSpeedAndPattern) {
    // R at 100 ft lifts through U to J1; the curve's one point is (500 gpm, 150 ft), and a
    // curve passes through its points at any speed s as (s Q, s^2 H): at s = 0.5, 37.5 ft at
    // 250 gpm.
    struct Case {
        const char* name;
        std::string pump, status;
        double demand;     // gpm
        std::int64_t time; // s
        bool open;
        double j1_head; // ft
    };
    const std::vector<Case> cases = {
        {"at its point", "HEAD C", "", 500.0, 0, true, 250.0},
        {"a speed from [STATUS]", "HEAD C SPEED 2", " U 0.5", 250.0, 0, true, 137.5},
        {"a speed pattern at 1:00", "HEAD C PATTERN P", "", 250.0, 3600, true, 137.5},
        {"closed by [STATUS]", "HEAD C", " U Closed", 0.0, 0, false, 100.0},
        {"a speed of 0", "HEAD C SPEED 0", "", 0.0, 0, false, 100.0},
    };
    for (const Case& c : cases) {
        const std::string text = "[JUNCTIONS]\n J1 0 " + std::to_string(c.demand) +
                                 "\n[RESERVOIRS]\n R 100\n[PIPES]\n P R J2 100 12 100\n"
                                 "[JUNCTIONS]\n J2 0 0\n[PUMPS]\n U R J1 " +
                                 c.pump +
                                 "\n[CURVES]\n C 500 150\n[PATTERNS]\n P 1 0.5\n[STATUS]\n" +
                                 c.status + "\n[OPTIONS]\n Units GPM\n";
        Model m;
        std::vector<exchange::Diagnostic> diagnostics;
        ASSERT_TRUE(model::read_inp_model(text, "net.inp", c.time, m, diagnostics)) << c.name;
        ASSERT_EQ(m.pumps.size(), 1u) << c.name;
        EXPECT_EQ(m.links[1].kind, model::LinkKind::pump) << c.name;
        EXPECT_EQ(m.pumps[0].link, 1) << c.name;
        ASSERT_EQ(m.pumps[0].curve.size(), 1u) << c.name;
        EXPECT_NEAR(m.pumps[0].curve[0].flow, 500.0 * 6.30901964e-5, 1e-12) << c.name;
        EXPECT_NEAR(m.pumps[0].curve[0].head, 150.0 * 0.3048, 1e-12) << c.name;
        EXPECT_EQ(m.links[1].status == model::LinkStatus::open, c.open) << c.name;
        // A closed pump is noted, at its [STATUS] line or its own.
        EXPECT_EQ(diagnostics.size(), c.open ? 0u : 1u) << c.name;
        const Result r = analyse(m);
        if (!c.open) {
            EXPECT_EQ(r.states[1], LinkState::closed) << c.name;
            continue;
        }
        ASSERT_EQ(r.outcome, Outcome::solved) << c.name;
        EXPECT_NEAR(r.heads[0], c.j1_head * 0.3048, 1e-8) << c.name;
    }

    // Power: horsepower of 745.7 W in US units; in SI units the kW given over 0.7457, as the
    // reference solver takes it.
    for (const char* units : {"GPM", "LPS"}) {
        const std::string text = "[JUNCTIONS]\n J1 0 1\n[RESERVOIRS]\n R 100\n"
                                 "[PUMPS]\n U R J1 POWER 10\n[OPTIONS]\n Units " +
                                 std::string(units) + "\n";
        Model m;
        std::vector<exchange::Diagnostic> diagnostics;
        ASSERT_TRUE(model::read_inp_model(text, "net.inp", 0, m, diagnostics)) << units;
        ASSERT_EQ(m.pumps.size(), 1u);
        EXPECT_NEAR(m.pumps[0].power, units[0] == 'G' ? 7457.0 : 10000.0 / 0.7457, 1e-9);
    }
}

} // namespace
} // namespace pipenet::analysis
