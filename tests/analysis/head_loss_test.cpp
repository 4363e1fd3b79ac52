// The Darcy-Weisbach and Chezy-Manning laws and minor losses: the friction factor across its
// three ranges, each law against head losses worked out by hand from its written form, and .inp
// files whose units and options choose them.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/analyse.hpp"
#include "analysis/element_laws.hpp"
#include "exchange/inp_reader.hpp"
#include "model/read_inp.hpp"
#include "model_fixture.hpp"

namespace pipenet::analysis {
namespace {

using model::HeadLossLaw;
using model::Model;

TEST(FrictionFactor, LaminarTurbulentAndACubicJoiningThemSmoothly) {
    const double rr = 1.0e-4 / 3.7; // eps / (3.7 D) for eps / D = 1e-4
    // 64 / Re, and Swamee-Jain 0.25 / log10(rr + 5.74 / 1e5^0.9)^2 worked out by hand.
    EXPECT_DOUBLE_EQ(friction_factor(1000.0, rr).f, 0.064);
    EXPECT_DOUBLE_EQ(friction_factor(2000.0, rr).f, 0.032);
    EXPECT_NEAR(friction_factor(1.0e5, rr).f, 0.0184524453, 1e-9);
    // The cubic meets both laws at 2000 and 4000 with their values and slopes, and lies between
    // the two end values.
    for (double rough : {0.0, rr, 0.01 / 3.7}) {
        for (double re : {2000.0, 4000.0}) {
            const double h = 1e-3;
            const Friction below = friction_factor(re - h, rough);
            const Friction above = friction_factor(re + h, rough);
            // Each side carried to re along its own slope.
            EXPECT_NEAR(below.f + below.slope * h, above.f - above.slope * h, 1e-12)
                << re << " " << rough;
            EXPECT_NEAR(below.slope, above.slope, 1e-4 * std::abs(below.slope))
                << re << " " << rough;
        }
        const double mid = friction_factor(3000.0, rough).f;
        const double end = friction_factor(4000.0, rough).f;
        EXPECT_GT(mid, std::min(0.032, end)) << rough;
        EXPECT_LT(mid, std::max(0.032, end)) << rough;
        // The slope returned is the derivative, in every range.
        for (double re : {500.0, 2500.0, 3900.0, 2.0e4, 1.0e7}) {
            const double h = re * 1e-6;
            const double numeric =
                (friction_factor(re + h, rough).f - friction_factor(re - h, rough).f) / (2 * h);
            EXPECT_NEAR(friction_factor(re, rough).slope, numeric, 1e-5 * std::abs(numeric))
                << re << " " << rough;
        }
    }
}

// One pipe of a model with law `law`; roughness in the model's terms (C, a height in m, n).
struct Pipe {
    const char* name;
    HeadLossLaw law;
    double length, diameter, roughness, minor;
    double flow;     // m3/s
    double expected; // head loss at `flow`, m, worked out by hand from the written law
};

// The head losses below were worked out by hand (and checked in a separate script) with
// g = 32.2 ft/s^2 = 9.81456 m/s^2 and nu = 1.1e-5 ft^2/s = 1.0219e-6 m^2/s:
//   D-W turbulent: v = 0.477465 m/s, Re = 93443, f = 0.0205957 (Swamee-Jain),
//     f L/D v^2/2g = 1.195992, plus 2 v^2/2g = 0.023228;
//   D-W laminar: Re = 1245.9, 64/Re L/D v^2/2g;
//   Hazen-Williams: 10.667 C^-1.852 D^-4.871 L Q^1.852 = 4.039952, plus 5 v^2/2g = 0.117459;
//   Manning: (n Q / (1.49 ft^(1/3)/s * A R^(2/3)))^2 L with R = D/4.
const std::vector<Pipe> pipes = {
    {"darcy turbulent", HeadLossLaw::darcy_weisbach, 1000, 0.2, 1.0e-4, 2.0, 0.015, 1.21922030665},
    {"darcy laminar", HeadLossLaw::darcy_weisbach, 500, 0.1, 1.0e-4, 0.0, 1.0e-4, 0.00212120126489},
    {"hazen-williams and minor", HeadLossLaw::hazen_williams_inp, 800, 0.15, 110, 5.0, 0.012,
     4.03995171018 + 0.117459153713},
    {"manning", HeadLossLaw::chezy_manning, 800, 0.15, 0.011, 0.0, 0.015, 5.52614412731},
};

Model one_pipe_model(const Pipe& p) {
    Model m;
    m.law = p.law;
    m.viscosity = 1.1e-5 * 0.3048 * 0.3048;
    model::add_node(m, "R", 0.0, 100.0);
    model::add_node(m, "J", -p.flow);
    model::add_link(m, "P", 0, 1, p.length, p.diameter, p.roughness);
    m.links[0].minor_loss.value = p.minor;
    return m;
}

TEST(HeadLossLaws, EachLawGivesTheHeadLossWorkedOutByHand) {
    for (const Pipe& p : pipes) {
        const Model m = one_pipe_model(p);
        const LinkLaw law = link_law(m, m.links[0]);
        EXPECT_NEAR(head_loss(law, p.flow).loss, p.expected, 1e-10 * p.expected) << p.name;
        EXPECT_NEAR(head_loss(law, -p.flow).loss, -p.expected, 1e-10 * p.expected) << p.name;
        // The law turned round gives back the flow, with the reciprocal slope.
        const double loss = head_loss(law, p.flow).loss;
        const LawValue v = link_flow(law, loss);
        EXPECT_NEAR(v.flow, p.flow, 1e-12 * p.flow) << p.name;
        EXPECT_NEAR(v.slope, 1.0 / head_loss(law, p.flow).slope, 1e-8 * v.slope) << p.name;
        EXPECT_NEAR(link_flow(law, -loss).flow, -p.flow, 1e-12 * p.flow) << p.name;
        // Its tangent about the flow passes through the law there.
        EXPECT_NEAR(link_flow_about(law, p.flow, loss).flow, p.flow, 1e-12 * p.flow) << p.name;

        // The analysis of a reservoir feeding a junction through the pipe.
        const Result r = analyse(m);
        ASSERT_EQ(r.outcome, Outcome::solved) << p.name;
        EXPECT_NEAR(r.heads[1], 100.0 - p.expected, 1e-7) << p.name;
        EXPECT_NEAR(r.flows[0], p.flow, 1e-9) << p.name;
    }
}

TEST(HeadLossLaws, SlopeIsTheDerivativeAcrossFlowsIncludingZero) {
    for (const Pipe& p : pipes) {
        const Model m = one_pipe_model(p);
        const LinkLaw law = link_law(m, m.links[0]);
        for (double dh : {-2.0, -1e-4, 0.0, 1e-9, 3e-3, 0.05, 7.0}) {
            const LawValue v = link_flow(law, dh);
            EXPECT_GT(v.slope, 0.0) << p.name << " " << dh;
            EXPECT_TRUE(std::isfinite(v.slope)) << p.name << " " << dh;
            if (std::abs(dh) < 1e-6) continue;
            const double h = std::abs(dh) * 1e-6;
            const double numeric =
                (link_flow(law, dh + h).flow - link_flow(law, dh - h).flow) / (2 * h);
            EXPECT_NEAR(v.slope, numeric, 1e-5 * numeric) << p.name << " " << dh;
        }
    }
}

TEST(HeadLossLaws, ANegativeMinorLossOrNoViscosityIsRefused) {
    Model m = one_pipe_model(pipes[0]);
    m.links[0].minor_loss.value = -1.0;
    Result r = analyse(m);
    EXPECT_EQ(r.outcome, Outcome::refused);
    ASSERT_FALSE(r.findings.empty());
    EXPECT_NE(r.findings[0].text.find("minor loss coefficient is -1, negative"), std::string::npos)
        << r.findings[0].text;
    m = one_pipe_model(pipes[0]);
    m.viscosity = 0.0;
    r = analyse(m);
    EXPECT_EQ(r.outcome, Outcome::refused);
}

// The same one-pipe network in a .inp file of each kind: the file's units and options choose
// the law, the roughness unit and the viscosity.
TEST(HeadLossLaws, InpFilesChooseTheLawAndTheUnitsOfItsRoughness) {
    struct Case {
        const char* options;
        const char* pipe; // length diameter roughness minor
        double demand;    // in the file's flow unit
        HeadLossLaw law;
        double expected; // m, as in `pipes` above
    };
    const std::vector<Case> cases = {
        // 1000 m, 200 mm, 0.1 mm; 15 L/s.
        {"Units LPS\nHeadloss D-W", "1000 200 0.1 2", 15.0, HeadLossLaw::darcy_weisbach,
         1.21922030665},
        // The same in feet, inches, 10^-3 ft and gallons per minute.
        {"Units GPM\nHeadloss D-W", "3280.839895 7.874015748 0.328083990 2", 0.015 / 6.30901964e-5,
         HeadLossLaw::darcy_weisbach, 1.21922030665},
        {"Units LPS\nHeadloss C-M", "800 150 0.011 0", 15.0, HeadLossLaw::chezy_manning,
         5.52614412731},
        {"Units LPS", "800 150 110 5", 12.0, HeadLossLaw::hazen_williams_inp,
         4.03995171018 + 0.117459153713},
    };
    for (const Case& c : cases) {
        const bool us = std::string(c.options).find("GPM") != std::string::npos; // 100 m in ft
        const std::string text = std::string("[JUNCTIONS]\nJ 0 ") + std::to_string(c.demand) +
                                 "\n[RESERVOIRS]\nR " + (us ? "328.0839895" : "100") +
                                 "\n[PIPES]\nP R J " + c.pipe + "\n[OPTIONS]\n" + c.options + "\n";
        Model m;
        std::vector<exchange::Diagnostic> diagnostics;
        ASSERT_TRUE(model::read_inp_model(text, "net.inp", 0, m, diagnostics)) << c.options;
        EXPECT_TRUE(diagnostics.empty()) << c.options << ": " << diagnostics.front().text;
        EXPECT_EQ(m.law, c.law) << c.options;
        const Result r = analyse(m);
        ASSERT_EQ(r.outcome, Outcome::solved) << c.options;
        // The US pipe's values are rounded to 10 digits.
        const double tolerance = us ? 1e-6 * c.expected : 1e-7;
        EXPECT_NEAR(100.0 - r.heads[0], c.expected, tolerance) << c.options;
    }
}

} // namespace
} // namespace pipenet::analysis
