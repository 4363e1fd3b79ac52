// The double-precision analysis against solutions worked out independently in the tests.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>

#include <gtest/gtest.h>

#include "analysis/analyse.hpp"
#include "analysis/element_laws.hpp"
#include "analysis/final_check.hpp"
#include "analysis/power_memo.hpp"
#include "model_fixture.hpp"

namespace pipenet::analysis {
namespace {

using model::add_link;
using model::add_node;
using model::Model;

// The README's laminar loop: tank at node 1 (index 0), 120 cm.
Model laminar_loop() {
    Model m;
    m.law = model::HeadLossLaw::laminar;
    m.rho_g_over_mu.value = 97900.0;
    add_node(m, "1", 0.0, 120.0);
    add_node(m, "2", 0.0);
    add_node(m, "3", -0.6);
    add_node(m, "4", -0.2);
    add_link(m, "1", 0, 1, 80.0, 0.2);
    add_link(m, "2", 1, 2, 60.0, 0.15);
    add_link(m, "3", 0, 3, 60.0, 0.15);
    add_link(m, "4", 3, 2, 80.0, 0.2);
    return m;
}

TEST(Analyse, LaminarLoopMatchesADenseSolveOfItsBalances) {
    const Model m = laminar_loop();
    const Result r = analyse(m);
    ASSERT_EQ(r.outcome, Outcome::solved);

    // Conductances c = k pi D^4 / (128 L); balances at nodes 2, 3, 4 as a 3 x 3 system.
    auto c = [&](double d, double l) {
        return 97900.0 * std::numbers::pi * std::pow(d, 4) / (128 * l);
    };
    const double c12 = c(0.2, 80), c23 = c(0.15, 60), c14 = c(0.15, 60), c43 = c(0.2, 80);
    std::array<std::array<double, 4>, 3> a{{
        {c12 + c23, -c23, 0.0, c12 * 120.0},        // node 2: no draw
        {-c23, c23 + c43, -c43, -0.6},              // node 3
        {0.0, -c43, c14 + c43, -0.2 + c14 * 120.0}, // node 4
    }};
    for (int p = 0; p < 3; ++p)
        for (int i = p + 1; i < 3; ++i) {
            const double f = a[i][p] / a[p][p];
            for (int j = p; j < 4; ++j) a[i][j] -= f * a[p][j];
        }
    std::array<double, 3> h{};
    for (int i = 2; i >= 0; --i) {
        double s = a[i][3];
        for (int j = i + 1; j < 3; ++j) s -= a[i][j] * h[j];
        h[i] = s / a[i][i];
    }
    EXPECT_NEAR(r.heads[1], h[0], 1e-9);
    EXPECT_NEAR(r.heads[2], h[1], 1e-9);
    EXPECT_NEAR(r.heads[3], h[2], 1e-9);
    // The README's float results: the programs take pi as 3.1416, which moves heads by 1e-4.
    EXPECT_NEAR(r.heads[2], 94.0276, 2e-4);
    EXPECT_NEAR(r.nodal_discharge[0], 0.8, 1e-12);
    EXPECT_NEAR(r.flows[0], 0.3703, 5e-5);
}

// A reservoir R feeding junction A by link 1 and junction B by link 3, with link 2 from A to B:
// the heads found by nested bisection on the balances, with nothing of the analysis's code.
TEST(Analyse, TurbulentLoopMatchesNestedBisection) {
    Model m;
    add_node(m, "R", 0.0, 50.0);
    add_node(m, "A", -0.03);
    add_node(m, "B", -0.05);
    add_link(m, "P1", 0, 1, 500.0, 0.25);
    add_link(m, "P2", 1, 2, 400.0, 0.15);
    add_link(m, "P3", 0, 2, 800.0, 0.2);
    const Result r = analyse(m);
    ASSERT_EQ(r.outcome, Outcome::solved);

    auto q = [](double l, double d, double dh) {
        return (dh < 0 ? -1 : 1) * 0.2784 * 130.0 * std::pow(d, 2.63) / std::pow(l, 0.54) *
               std::pow(std::abs(dh), 0.54);
    };
    auto bisect = [](const std::function<double(double)>& f, double lo, double hi) {
        // f increasing; returns its root in [lo, hi].
        for (int i = 0; i < 200; ++i) {
            const double mid = 0.5 * (lo + hi);
            (f(mid) > 0 ? hi : lo) = mid;
        }
        return 0.5 * (lo + hi);
    };
    // For a head at A, the head at B that balances A: inflow by P1 = outflow by P2 + 0.03.
    auto head_b = [&](double ha) {
        return bisect(
            [&](double hb) { return q(500, 0.25, 50 - ha) - q(400, 0.15, ha - hb) - 0.03; }, -1000,
            1000);
    };
    // Then B's balance, as a function of A's head: inflows minus the draw of 0.05.
    auto b_excess = [&](double ha) {
        const double hb = head_b(ha);
        return -(q(400, 0.15, ha - hb) + q(800, 0.2, 50 - hb) - 0.05);
    };
    const double ha = bisect(b_excess, -1000, 50);
    const double hb = head_b(ha);
    EXPECT_NEAR(r.heads[1], ha, 1e-6);
    EXPECT_NEAR(r.heads[2], hb, 1e-6);
    EXPECT_NEAR(r.flows[0], q(500, 0.25, 50 - ha), 1e-7);
    EXPECT_LE(r.max_imbalance, 1e-6);
    EXPECT_NEAR(r.nodal_discharge[0], 0.08, 1e-6);
}

// A chain of junctions: a far-off start must not diverge; a re-solve after a diameter change
// starts from the last heads and needs fewer passes.
Model chain(int junctions) {
    Model m;
    add_node(m, "R", 0.0, 100.0);
    for (int i = 1; i <= junctions; ++i) add_node(m, "J" + std::to_string(i), -0.01);
    for (int i = 1; i <= junctions; ++i)
        add_link(m, "P" + std::to_string(i), i - 1, i, 200.0,
                 0.1 + 0.02 * (junctions - i) / junctions);
    return m;
}

TEST(Analyse, FarFirstGuessConvergesAndReSolveStartsFromTheLastHeads) {
    Model m = chain(30);
    Solver solver;
    std::vector<double> far(m.nodes.size(), 1.0e5);
    far[0] = 100.0;
    const Result cold = solver.run(m, {}, far);
    ASSERT_EQ(cold.outcome, Outcome::solved);
    // Link 30 carries the last junction's draw.
    EXPECT_NEAR(cold.flows[29], 0.01, 1e-7);
    EXPECT_LE(cold.passes.size(), 30u);

    const Result fresh = solver.run(m, {});
    m.links[4].diameter.value *= 1.05;
    const Result warm = solver.run(m, {}, fresh.heads);
    const Result again = analyse(m);
    ASSERT_EQ(warm.outcome, Outcome::solved);
    EXPECT_LT(warm.passes.size(), again.passes.size());
    for (std::size_t i = 0; i < m.nodes.size(); ++i)
        EXPECT_NEAR(warm.heads[i], again.heads[i], 1e-4);
}

// A looped grid of side x side junctions 100 m apart (0.15 m pipes, 0.30 m mains along every
// 10th row and column) drawing 0.1 or 0.2 L/s, fed by reservoirs at two corners.
Model grid(int side) {
    Model m;
    m.law = model::HeadLossLaw::hazen_williams_programs;
    auto at = [&](int r, int c) { return r * side + c; };
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const std::string id = std::to_string(at(r, c) + 1);
            if (at(r, c) == 0)
                add_node(m, id, 0.0, 100.0);
            else if (at(r, c) == at(side - 1, side - 1))
                add_node(m, id, 0.0, 95.0);
            else
                add_node(m, id, (r + c) % 2 == 0 ? -1.0e-4 : -2.0e-4);
        }
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const std::string id = std::to_string(m.links.size() + 1);
            if (c + 1 < side)
                add_link(m, id + "h", at(r, c), at(r, c + 1), 100.0, r % 10 == 0 ? 0.30 : 0.15,
                         120.0);
            if (r + 1 < side)
                add_link(m, id + "v", at(r, c), at(r + 1, c), 100.0, c % 10 == 0 ? 0.30 : 0.15,
                         120.0);
        }
    return m;
}

// Every factorization behind the passes (CHOLMOD's from the first row on, under AMD or under
// METIS with the numeric factorization of SparseCholesky's own; Eigen's never left) reaches the
// same heads, within 20 passes at 10^3 and 10^4 nodes.
TEST(Analyse, GridsConvergeAlikeThroughEitherFactorization) {
    for (int side : {32, 100}) {
        const Model m = grid(side);
        Settings eigen;
        const Result a = analyse(m, eigen);
        ASSERT_EQ(a.outcome, Outcome::solved) << side;
        EXPECT_LE(a.passes.size(), 20u) << side;
        for (const std::int64_t nested_from :
             {Settings{}.nested_dissection_rows, std::int64_t{1}}) {
            Settings cholmod;
            cholmod.large_network_rows = 1;
            cholmod.nested_dissection_rows = nested_from;
            const Result b = analyse(m, cholmod);
            ASSERT_EQ(b.outcome, Outcome::solved) << side << " " << nested_from;
            EXPECT_LE(b.passes.size(), 20u) << side << " " << nested_from;
            EXPECT_LE(b.max_imbalance, 1.0e-6) << side << " " << nested_from;
            double largest = 0.0;
            for (std::size_t i = 0; i < m.nodes.size(); ++i)
                largest = std::max(largest, std::abs(a.heads[i] - b.heads[i]));
            EXPECT_LT(largest, 1.0e-5) << side << " " << nested_from;
        }
    }
}

// A large network's rows follow a search of its links and its passes read the heads by slot (rows,
// then known heads): on a grid whose node numbers are shuffled, with a reservoir inside it, an
// island of two junctions and, under the laminar law, linear terms, that path must reach the
// heads, discharges and outcome of the rows in the nodes' order.
TEST(Analyse, RowsInSearchOrderReachTheHeadsOfRowsInNodeOrder) {
    for (const model::HeadLossLaw law :
         {model::HeadLossLaw::hazen_williams_programs, model::HeadLossLaw::laminar}) {
        const Model ordered = [&] {
            Model g = grid(12);
            g.law = law;
            g.rho_g_over_mu.value = 97900.0;
            g.nodes[5 * 12 + 6].fixed_head = model::Read{98.0, {}};
            add_node(g, "island1", -1.0e-4);
            add_node(g, "island2", 0.0);
            add_link(g, "island", 144, 145, 100.0, 0.15, 120.0);
            return g;
        }();
        // Node i of `ordered` is node (i * 37) mod 146 here: neighbours far apart in number.
        const auto moved = [](std::size_t i) { return (i * 37) % 146; };
        Model m = ordered;
        for (std::size_t i = 0; i < ordered.nodes.size(); ++i) m.nodes[moved(i)] = ordered.nodes[i];
        for (model::Link& link : m.links) {
            link.start = static_cast<std::int32_t>(moved(static_cast<std::size_t>(link.start)));
            link.end = static_cast<std::int32_t>(moved(static_cast<std::size_t>(link.end)));
        }
        Settings node_order;
        node_order.large_network_rows = 1;
        Settings search_order = node_order;
        search_order.nested_dissection_rows = 1;
        const Result a = analyse(m, node_order);
        const Result b = analyse(m, search_order);
        ASSERT_EQ(a.outcome, Outcome::solved);
        ASSERT_EQ(b.outcome, Outcome::solved);
        EXPECT_EQ(a.solved, b.solved);
        EXPECT_FALSE(b.solved[moved(144)]);
        EXPECT_LE(b.max_imbalance, 1.0e-6);
        for (std::size_t i = 0; i < m.nodes.size(); ++i)
            if (a.solved[i]) {
                EXPECT_NEAR(a.heads[i], b.heads[i], 1.0e-6) << "node " << i;
            }
        for (std::size_t e = 0; e + 1 < m.links.size(); ++e)
            EXPECT_NEAR(a.flows[e], b.flows[e], 1.0e-7) << "link " << e;
    }
}

// The solver keeps each link's law between runs: a re-solve after a change of any value a law
// depends on must give the fresh analysis's heads, not those of the old law.
TEST(Analyse, ReSolveAfterAChangeOfALinksValuesUsesItsNewLaw) {
    struct Case {
        const char* name;
        std::function<void(Model&)> change;
        std::function<void(Model&)> first = nullptr; // before the first run
    };
    const auto inp_law = [](Model& m) { m.law = model::HeadLossLaw::hazen_williams_inp; };
    const Case cases[] = {
        {"length", [](Model& m) { m.links[2].length.value = 450.0; }},
        {"diameter", [](Model& m) { m.links[2].diameter.value = 0.08; }},
        {"roughness", [](Model& m) { m.links[2].roughness.value = 90.0; }},
        {"law", inp_law},
        {"diameter under the .inp law", [](Model& m) { m.links[2].diameter.value = 0.08; },
         inp_law},
        {"roughness under the .inp law", [](Model& m) { m.links[2].roughness.value = 90.0; },
         inp_law},
    };
    // Also as a large network, whose numeric factor and laws the solver drops after each run
    // (large_from 0: also through the numeric factorization of SparseCholesky's own).
    for (const std::int64_t large_from :
         {Settings{}.large_network_rows, std::int64_t{1}, std::int64_t{0}})
        for (const Case& c : cases) {
            Model m = chain(6);
            if (c.first) c.first(m);
            Solver solver;
            Settings settings;
            settings.large_network_rows = large_from;
            if (large_from == 0) settings.nested_dissection_rows = 0;
            const Result before = solver.run(m, settings);
            ASSERT_EQ(before.outcome, Outcome::solved) << c.name;
            c.change(m);
            const Result warm = solver.run(m, settings, before.heads);
            const Result fresh = analyse(m);
            ASSERT_EQ(warm.outcome, Outcome::solved) << c.name << " " << large_from;
            ASSERT_EQ(fresh.outcome, Outcome::solved) << c.name;
            // The change moves the last junction's head by far more than the tolerance.
            EXPECT_GT(std::abs(fresh.heads[6] - before.heads[6]), 1e-2) << c.name;
            for (std::size_t i = 0; i < m.nodes.size(); ++i)
                EXPECT_NEAR(warm.heads[i], fresh.heads[i], 1e-6)
                    << c.name << " " << large_from << " node " << i;
        }
}

// A re-solve starts from the last heads, takes the tangents' slopes near the laws' from the laws'
// own and may end on a chord step: after changes that move every head, reverse the flow in much
// of a looped grid or nearly close a main, it must still reach the fresh analysis's heads and
// be called solved only when its final check holds.
TEST(Analyse, ReSolveFromTheLastHeadsReachesTheFreshHeadsAfterLargeChanges) {
    struct Case {
        const char* name;
        std::function<void(Model&)> change;
    };
    const Case cases[] = {
        // The far corner's reservoir (95 m) raised above the first's: most flows reverse.
        {"flows reversed",
         [](Model& m) {
             m.nodes.back().fixed_head = model::Read{112.0, {}};
         }},
        {"every demand tripled",
         [](Model& m) {
             for (model::Node& node : m.nodes) node.demand.value *= 3.0;
         }},
        {"a main nearly closed", [](Model& m) { m.links[0].diameter.value = 0.02; }},
        {"a small change", [](Model& m) { m.links[5].diameter.value *= 1.01; }},
    };
    for (const Case& c : cases) {
        Model m = grid(12);
        Solver solver;
        const Result before = solver.run(m, {});
        ASSERT_EQ(before.outcome, Outcome::solved) << c.name;
        c.change(m);
        const Result warm = solver.run(m, {}, before.heads);
        const Result fresh = analyse(m);
        ASSERT_EQ(fresh.outcome, Outcome::solved) << c.name;
        ASSERT_EQ(warm.outcome, Outcome::solved) << c.name;
        EXPECT_LE(warm.max_imbalance, Settings{}.flow_tolerance) << c.name;
        EXPECT_LE(warm.passes.size(), fresh.passes.size()) << c.name;
        double moved = 0.0;
        for (std::size_t i = 0; i < m.nodes.size(); ++i) {
            moved = std::max(moved, std::abs(fresh.heads[i] - before.heads[i]));
            EXPECT_NEAR(warm.heads[i], fresh.heads[i], 1e-5) << c.name << " node " << i;
        }
        EXPECT_GT(moved, 1e-3) << c.name;
        if (std::string(c.name) == "flows reversed") {
            std::size_t reversed = 0;
            for (std::size_t e = 0; e < m.links.size(); ++e)
                if (before.flows[e] * fresh.flows[e] < 0.0) ++reversed;
            EXPECT_GT(reversed, m.links.size() / 4) << c.name;
        }
    }
}

// A re-solve from the last heads takes the discharges of the laws that did not change from the
// last run instead of working them out again: it must take the same path, bit for bit, as a
// solver that has none to keep, started from the same heads, also after a run that failed.
TEST(Analyse, ReSolveKeepingTheLastDischargesTakesTheSamePathAsAFreshSolver) {
    Model m = chain(8);
    add_link(m, "P9", 8, 4, 300.0, 0.1);
    Solver kept;
    const Result first = kept.run(m, {});
    ASSERT_EQ(first.outcome, Outcome::solved);
    std::vector<double> start = first.heads;
    auto same_bits = [](const std::vector<double>& a, const std::vector<double>& b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](double x, double y) {
                   return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
               });
    };
    // Each step changes the model and re-solves from the heads of the last solved run; a run cut
    // short (one pass allowed) or refused is followed by one with a law changed before it.
    struct Step {
        const char* name;
        std::function<void(Model&, Settings&)> change;
    };
    const Step steps[] = {
        {"a diameter", [](Model& m, Settings&) { m.links[0].diameter.value = 0.3; }},
        {"a demand", [](Model& m, Settings&) { m.nodes[5].demand.value = -0.03; }},
        {"a length, in a run cut short",
         [](Model& m, Settings& s) {
             m.links[6].length.value = 900.0;
             s.max_passes = 1;
         }},
        {"nothing more, after the run cut short", [](Model&, Settings&) {}},
        {"the law", [](Model& m, Settings&) { m.law = model::HeadLossLaw::hazen_williams_inp; }},
        {"a diameter, in a run refused for another pipe's length",
         [](Model& m, Settings&) {
             m.links[1].diameter.value = 0.25;
             m.links[3].length.value = 0.0;
         }},
        {"that length given back", [](Model& m, Settings&) { m.links[3].length.value = 200.0; }},
    };
    for (const Step& step : steps) {
        Settings settings;
        step.change(m, settings);
        const Result again = kept.run(m, settings, start);
        // A solver that saw the topology once (so that it starts from `start`), but whose last
        // run ended at other heads.
        Solver fresh;
        fresh.run(m, {});
        const Result alone = fresh.run(m, settings, start);
        EXPECT_EQ(again.outcome, alone.outcome) << step.name;
        EXPECT_TRUE(same_bits(again.heads, alone.heads)) << step.name;
        EXPECT_TRUE(same_bits(again.flows, alone.flows)) << step.name;
        ASSERT_EQ(again.passes.size(), alone.passes.size()) << step.name;
        for (std::size_t p = 0; p < again.passes.size(); ++p)
            EXPECT_EQ(std::bit_cast<std::uint64_t>(again.passes[p].max_imbalance),
                      std::bit_cast<std::uint64_t>(alone.passes[p].max_imbalance))
                << step.name << " pass " << p;
        if (again.outcome == Outcome::solved) start = again.heads;
    }
}

// A solver that analyses network after network of one topology keeps each link's law, what it
// found of the law's values and the start solve's conductance while the link's values stay: every
// first analysis (no start heads) must still give the bits of a fresh solver's, whatever changed
// before it, and a value made unsound must be refused again.
TEST(Analyse, ReusedSolverGivesAFreshSolversBitsAfterEachChange) {
    Model m = chain(6);
    add_link(m, "P7", 6, 3, 300.0, 0.1);
    struct Step {
        const char* name;
        std::function<void(Model&)> change;
    };
    const Step steps[] = {
        {"as read", [](Model&) {}},
        {"a diameter", [](Model& m) { m.links[2].diameter.value = 0.3; }},
        {"a roughness", [](Model& m) { m.links[6].roughness.value = 90.0; }},
        {"a length made zero", [](Model& m) { m.links[4].length.value = 0.0; }},
        {"that length given back", [](Model& m) { m.links[4].length.value = 200.0; }},
        {"the law", [](Model& m) { m.law = model::HeadLossLaw::hazen_williams_inp; }},
        {"a diameter under that law", [](Model& m) { m.links[0].diameter.value = 0.25; }},
        {"the law back", [](Model& m) { m.law = model::HeadLossLaw::hazen_williams_programs; }},
    };
    auto bits = [](const std::vector<double>& values) {
        std::vector<std::uint64_t> out;
        for (const double v : values) out.push_back(std::bit_cast<std::uint64_t>(v));
        return out;
    };
    m.law = model::HeadLossLaw::hazen_williams_programs;
    Solver reused;
    for (const Step& step : steps) {
        step.change(m);
        const Result again = reused.run(m, {});
        const Result fresh = analyse(m);
        EXPECT_EQ(again.outcome, fresh.outcome) << step.name;
        EXPECT_EQ(again.findings.size(), fresh.findings.size()) << step.name;
        EXPECT_EQ(bits(again.heads), bits(fresh.heads)) << step.name;
        EXPECT_EQ(bits(again.flows), bits(fresh.flows)) << step.name;
        EXPECT_EQ(again.passes.size(), fresh.passes.size()) << step.name;
    }
}

// The solver keeps the matrix pattern and its factorization's ordering while the topology stays
// the same: a change of a known head, of a link's ends or of its status must be seen on the next
// run, which then gives the fresh analysis's results.
TEST(Analyse, ReRunAfterAChangeOfTopologyMatchesAFreshAnalysis) {
    // A chain of six junctions from R, closed into a loop by P7 (J6 to J3); J7 hangs off J2 by
    // P8 alone.
    auto network = [] {
        Model m = chain(6);
        add_link(m, "P7", 6, 3, 300.0, 0.1);
        add_node(m, "J7", -0.005);
        add_link(m, "P8", 2, 7, 150.0, 0.08);
        return m;
    };
    struct Case {
        const char* name;
        std::function<void(Model&)> change;
    };
    const Case cases[] = {
        {"a junction given a known head",
         [](Model& m) {
             m.nodes[4].fixed_head = model::Read{90.0, {}};
         }},
        {"a link's end moved", [](Model& m) { m.links[6].end = 1; }},
        {"a loop's link closed", [](Model& m) { m.links[6].status = model::LinkStatus::closed; }},
        {"the only link to a junction closed",
         [](Model& m) { m.links[7].status = model::LinkStatus::closed; }},
    };
    for (const Case& c : cases) {
        Model m = network();
        Solver solver;
        const Result before = solver.run(m, {});
        ASSERT_EQ(before.outcome, Outcome::solved) << c.name;
        c.change(m);
        const Result again = solver.run(m, {}, before.heads);
        const Result fresh = analyse(m);
        ASSERT_EQ(fresh.outcome, Outcome::solved) << c.name;
        ASSERT_EQ(again.outcome, Outcome::solved) << c.name;
        EXPECT_EQ(again.solved, fresh.solved) << c.name;
        double moved = 0.0;
        for (std::size_t i = 0; i < m.nodes.size(); ++i) {
            if (!fresh.solved[i]) continue;
            moved = std::max(moved, std::abs(fresh.heads[i] - before.heads[i]));
            EXPECT_NEAR(again.heads[i], fresh.heads[i], 1e-6) << c.name << " node " << i;
        }
        // Each change moves some head by far more than the tolerance, or leaves a node out.
        EXPECT_TRUE(moved > 1e-2 || fresh.solved != before.solved) << c.name;
    }
}

// Junctions joined to the known head only through a link of vanishing conductance (1e-78 against
// 1e-2): the factorization meets a zero pivot, and the message names a junction of that group
// by its ID.
TEST(Analyse, ANearlyFloatingGroupIsSingularAndNamedByID) {
    Model m;
    add_node(m, "R", 0.0, 50.0);
    add_node(m, "J3", 0.0);
    add_node(m, "J2", 0.0);
    add_node(m, "J1", -0.001);
    add_link(m, "P1", 0, 1, 100.0, 1e-30);
    add_link(m, "P2", 1, 2, 100.0, 0.15);
    add_link(m, "P3", 2, 3, 100.0, 0.15);
    const Result r = analyse(m);
    ASSERT_EQ(r.outcome, Outcome::singular);
    ASSERT_FALSE(r.findings.empty());
    EXPECT_EQ(r.findings.back().code, model::Code::not_positive_definite);
    const std::string& text = r.findings.back().text;
    EXPECT_TRUE(text.find("J1") != std::string::npos || text.find("J2") != std::string::npos ||
                text.find("J3") != std::string::npos)
        << text;
}

TEST(Analyse, IsolatedJunctionsAreLeftOutAndTheRestSolved) {
    Model m;
    add_node(m, "R", 0.0, 30.0);
    add_node(m, "A", -0.01);
    add_node(m, "island1", -0.02);
    add_node(m, "island2", 0.0);
    add_link(m, "P1", 0, 1, 100.0, 0.2);
    add_link(m, "P2", 2, 3, 100.0, 0.2);
    const Result r = analyse(m);
    ASSERT_EQ(r.outcome, Outcome::solved);
    EXPECT_TRUE(r.solved[1]);
    EXPECT_FALSE(r.solved[2]);
    EXPECT_FALSE(r.solved[3]);
    EXPECT_TRUE(std::isnan(r.heads[2]));
    EXPECT_TRUE(std::isnan(r.flows[1]));
    ASSERT_EQ(r.findings.size(), 1u);
    EXPECT_EQ(r.findings[0].code, model::Code::isolated_nodes);
    EXPECT_NE(r.findings[0].text.find("2 junction(s)"), std::string::npos);
    EXPECT_NE(r.findings[0].text.find("island1, island2"), std::string::npos);
}

TEST(Analyse, OutcomesOtherThanSolvedNameWhatFailed) {
    struct Case {
        const char* name;
        std::function<void(Model&, Settings&)> change;
        Outcome outcome;
        model::Code code;
        const char* names;
    };
    const Case cases[] = {
        {"passes run out", [](Model&, Settings& s) { s.max_passes = 1; }, Outcome::not_converged,
         model::Code::not_converged, "J"},
        // A faulty pipe carries the input check's code for its fault.
        {"zero length", [](Model& m, Settings&) { m.links[3].length.value = 0.0; },
         Outcome::refused, model::Code::link_zero_length, "link P4: its length is 0"},
        {"same node at both ends",
         [](Model& m, Settings&) {
             m.links[3].end = m.links[3].start;
             m.links[3].length.value = 0.0;
         },
         Outcome::refused, model::Code::link_same_node, "link P4: its length is 0"},
        {"zero diameter", [](Model& m, Settings&) { m.links[2].diameter.value = 0.0; },
         Outcome::refused, model::Code::link_bad_diameter, "link P3: its diameter is 0"},
        {"zero roughness", [](Model& m, Settings&) { m.links[1].roughness.value = 0.0; },
         Outcome::refused, model::Code::link_bad_roughness,
         "link P2: its roughness coefficient is 0"},
        {"no known head", [](Model& m, Settings&) { m.nodes[0].fixed_head.reset(); },
         Outcome::singular, model::Code::no_known_head, "no node"},
    };
    for (const Case& c : cases) {
        Model m = chain(8);
        Settings s;
        c.change(m, s);
        const Result r = analyse(m, s);
        EXPECT_EQ(r.outcome, c.outcome) << c.name;
        ASSERT_FALSE(r.findings.empty()) << c.name;
        EXPECT_EQ(r.findings.back().code, c.code) << c.name;
        EXPECT_NE(r.findings.back().text.find(c.names), std::string::npos)
            << c.name << ": " << r.findings.back().text;
    }
}

TEST(ElementLaws, SlopeIsTheDerivativeAndTheTwoHazenWilliamsFormsAgree) {
    model::Link link;
    link.length.value = 350.0;
    link.diameter.value = 0.3;
    link.roughness.value = 120.0;
    const LinkLaw programs = link_law(model::HeadLossLaw::hazen_williams_programs, link, 0);
    const LinkLaw inp = link_law(model::HeadLossLaw::hazen_williams_inp, link, 0);
    for (double dh : {-3.0, -1e-3, 1e-6, 0.5, 12.0}) {
        const double step = std::abs(dh) * 1e-6;
        const double numeric =
            (link_flow(programs, dh + step).flow - link_flow(programs, dh - step).flow) /
            (2 * step);
        EXPECT_NEAR(link_flow(programs, dh).slope, numeric, 1e-6 * numeric) << dh;
        // The two constants differ by well under 1 %.
        EXPECT_NEAR(link_flow(inp, dh).flow, link_flow(programs, dh).flow,
                    0.01 * std::abs(link_flow(programs, dh).flow))
            << dh;
    }
    // dh = 10.667 C^-1.852 D^-4.871 L Q^1.852 for the .inp form, worked out for Q = 0.1.
    const double dh =
        10.667 * std::pow(120.0, -1.852) * std::pow(0.3, -4.871) * 350.0 * std::pow(0.1, 1.852);
    EXPECT_NEAR(link_flow(inp, dh).flow, 0.1, 1e-12);
}

// The memo of each link's last power must give std::pow's bits for every request: a power taken
// again when either number differs in any bit (a zero's sign included, which decides the sign of
// an infinite power), kept when both are the same, and taken for a link beyond those it holds.
TEST(PowerMemo, GivesThePowersBitsForEveryRequest) {
    struct Request {
        std::size_t link;
        double x, y;
    };
    const Request requests[] = {
        {0, 2.5, 0.54}, {0, 2.5, 0.54},   {1, 2.5, 0.54}, {0, 2.5000000000000004, 0.54},
        {0, 2.5, 0.54}, {0, 2.5, 0.539},  {1, 0.0, -1.0}, {1, -0.0, -1.0},
        {1, 0.0, -1.0}, {2, NAN, 0.54},   {2, 1.0, NAN},  {2, 1e-300, 0.54},
        {7, 3.0, 0.54}, {2, 1e-300, 0.54}};
    PowerMemo memo;
    memo.fit(3);
    for (const Request& r : requests) {
        const double expected = std::pow(r.x, r.y);
        const double got = memo(r.link, r.x, r.y);
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(got)) << r.link << " " << r.x << " " << r.y;
        else
            EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected))
                << r.link << " " << r.x << " " << r.y;
    }
}

// The final check takes its powers through the passes' memo: what it finds of a solved network
// must be what it finds taking every power itself.
TEST(PowerMemo, TheFinalCheckFindsTheSameWithAndWithoutIt) {
    Model m = chain(6);
    add_link(m, "P7", 6, 3, 300.0, 0.1);
    m.law = model::HeadLossLaw::hazen_williams_programs;
    const Result result = analyse(m);
    ASSERT_EQ(result.outcome, Outcome::solved);
    std::vector<std::uint8_t> free(m.nodes.size(), 1), solved(m.nodes.size(), 1);
    free[0] = 0;
    PowerMemo memo;
    memo.fit(m.links.size());
    // Primed as the passes leave it, at the final heads, and with stale powers for two links.
    for (std::size_t e = 0; e < m.links.size(); ++e) {
        const double dh = result.heads[static_cast<std::size_t>(m.links[e].start)] -
                          result.heads[static_cast<std::size_t>(m.links[e].end)];
        memo(e, e < 2 ? std::abs(dh) * 1.5 : std::abs(dh), 0.54);
    }
    const FinalCheck alone =
        check_final_state(m, free, solved, result.heads, result.flows, result.states);
    const FinalCheck shared = check_final_state(m, free, solved, result.heads, result.flows,
                                                result.states, nullptr, &memo);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(shared.max_imbalance),
              std::bit_cast<std::uint64_t>(alone.max_imbalance));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(shared.max_law_error),
              std::bit_cast<std::uint64_t>(alone.max_law_error));
    EXPECT_EQ(shared.worst_node, alone.worst_node);
    EXPECT_LE(alone.max_imbalance, Settings{}.flow_tolerance);
}

} // namespace
} // namespace pipenet::analysis
