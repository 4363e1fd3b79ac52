// Properties of the turbulent analysis over many generated networks: each network is written as
// an input file, run through the whole program in memory, and its printed results checked
// against the pipe law and the given discharges.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../fem/memory_report.hpp"
#include "../fem/random_network.hpp"
#include "turbnet/turbnet.hpp"

namespace pipenet {
namespace {

constexpr int network_count = 120;
constexpr double unit_roundoff = std::numeric_limits<float>::epsilon() / 2;
constexpr double printed_half_unit = 0.5e-4; // F15.4

struct Results {
    std::vector<double> head, nodal, member; // 1-based, entry 0 unused
};

// Reads `count` lines of the form I10,F15.4 that follow the heading line after `marker`.
bool read_table(const std::string& report, std::size_t& at, const std::string& marker,
                std::int32_t count, std::vector<double>& values) {
    at = report.find(marker, at);
    if (at == std::string::npos) return false;
    at = report.find('\n', at + marker.size()) + 1; // skip the column titles
    values.assign(static_cast<std::size_t>(count + 1), 0.0);
    for (std::int32_t i = 1; i <= count; ++i) {
        const std::size_t end = report.find('\n', at);
        const std::string line = report.substr(at, end - at);
        if (line.size() != 25 || std::stoi(line.substr(0, 10)) != i) return false;
        values[static_cast<std::size_t>(i)] = std::stod(line.substr(10));
        at = end + 1;
    }
    return true;
}

// Networks whose every node draws a little water and whose pipes are wide enough that the
// first, linear solution lies near the turbulent one. The passes are plain Newton steps without
// damping, and the power law's tangent vanishes with the flow, so a few networks still stall
// short of the tolerance and end at the iteration limit; the test below bounds how many.
testing::GeneratedNetwork generate(int seed) {
    testing::GeneratorLimits limits;
    limits.min_diameter = 30000;
    limits.max_diameter = 60000;
    limits.discharge_range = 300;
    limits.draw_everywhere = true;
    testing::GeneratedNetwork g =
        testing::generate_network(static_cast<std::uint32_t>(seed), limits);
    g.tolerance = 100; // 1.0e-5
    g.max_iterations = 50;
    return g;
}

// The generated networks one after the other: load() runs one and fills the members, and
// for_each_network runs a check on every network in turn. One test covers every seed, so that the
// suite does not start a process per seed; a failure names its seed.
class TurbulentProperties : public ::testing::Test {
protected:
    template <class Check>
    void for_each_network(Check check) {
        for (seed = 1; seed <= network_count; ++seed) {
            SCOPED_TRACE(::testing::Message() << "seed " << seed);
            load();
            if (HasFatalFailure()) return;
            check();
            if (HasFatalFailure()) return;
        }
    }

    void load() {
        generated = generate(seed);
        input = testing::input_file(generated, true);
        source = std::make_unique<MemorySource>(input);
        out = testing::MemoryReport::make("0\n");
        out->io.use_input_source(*source);
        ASSERT_EQ(run_turbnet(out->io), 0) << out->errors;
        report = out->text();
        converged = report.find(" convergence achieved on cycle") != std::string::npos;
        if (!converged) {
            ASSERT_NE(report.find(" maximum number of iterations reached without"),
                      std::string::npos)
                << report;
        }
        std::size_t at = report.find("  results\n");
        ASSERT_NE(at, std::string::npos) << report;
        const auto nodes = generated.nodes;
        const auto pipes = static_cast<std::int32_t>(generated.pipes.size());
        ASSERT_TRUE(read_table(report, at, " nodal heads\n", nodes, results.head));
        ASSERT_TRUE(read_table(report, at, " nodal discharges\n", nodes, results.nodal));
        ASSERT_TRUE(read_table(report, at, " member discharges\n", pipes, results.member));
        net.clear();
        testing::fill_network(generated, net);
    }

    // The pipe coefficient from the geometry, in double.
    double coefficient(std::int32_t e) const {
        const std::int32_t a = net.connectivity.start_node(e);
        const std::int32_t b = net.connectivity.end_node(e);
        const double dx = double{net.x(b)} - net.x(a);
        const double dy = double{net.y(b)} - net.y(a);
        return 0.2784 * double{net.relative_roughness} * std::pow(double{net.diameter(e)}, 2.63) /
               std::pow(std::sqrt(dx * dx + dy * dy), 0.54);
    }

    static double law(double c, double dh) {
        return std::copysign(c * std::pow(std::fabs(dh), 0.54), dh);
    }

    int seed = 0;
    testing::GeneratedNetwork generated;
    bool converged = false;
    std::string input;
    std::unique_ptr<MemorySource> source;
    std::unique_ptr<testing::MemoryReport> out;
    std::string report;
    Results results;
    FixedNetwork net{};
};

TEST_F(TurbulentProperties, KnownHeadsArePrintedAsGiven) {
    for_each_network([&] {
        for (const auto& [node, h] : generated.heads)
            EXPECT_NEAR(results.head[static_cast<std::size_t>(node)],
                        static_cast<double>(h) * 1.0e-4, 1.0e-9)
                << "node " << node;
    });
}

// Every printed member discharge is the power law of the printed heads: it lies within the law's
// range over the heads' print rounding, widened by the discharge's own print rounding and a few
// float roundings of the law.
TEST_F(TurbulentProperties, MemberDischargesFollowThePowerLaw) {
    for_each_network([&] {
        for (std::int32_t e = 1; e <= net.element_count; ++e) {
            const double c = coefficient(e);
            const double dh =
                results.head[static_cast<std::size_t>(net.connectivity.start_node(e))] -
                results.head[static_cast<std::size_t>(net.connectivity.end_node(e))];
            const double low = law(c, dh - 2 * printed_half_unit);
            const double high = law(c, dh + 2 * printed_half_unit);
            const double slack =
                printed_half_unit + 16 * unit_roundoff * std::max(std::fabs(low), std::fabs(high));
            const double q = results.member[static_cast<std::size_t>(e)];
            EXPECT_GE(q, low - slack) << "pipe " << e << " c " << c << " dh " << dh;
            EXPECT_LE(q, high + slack) << "pipe " << e << " c " << c << " dh " << dh;
        }
    });
}

// At convergence the relative residual is at most the tolerance, so at every node whose head is
// not known the nodal discharge is the given one to within tolerance * (sum of the load's
// magnitudes). The residual itself is a float band product of the secant matrix with the heads:
// its rounding, up to 2b u sum |k| |h| over the node's pipes, adds to that, and so does the print
// rounding.
TEST_F(TurbulentProperties, NodalDischargesMeetTheGivenOnes) {
    for_each_network([&] {
        if (!converged) return; // ended at the iteration limit
        const std::int32_t nodes = generated.nodes;
        std::vector<bool> known(static_cast<std::size_t>(nodes + 1), false);
        std::vector<double> given(static_cast<std::size_t>(nodes + 1), 0.0);
        for (const auto& [node, h] : generated.heads) known[static_cast<std::size_t>(node)] = true;
        for (const auto& [node, q] : generated.discharges)
            given[static_cast<std::size_t>(node)] = testing::nearest_float(q, 4);

        // The load of the last pass: the known heads, and at the other nodes the given discharge
        // less the couplings to known heads (secant conductances at the printed heads).
        std::vector<double> load(given);
        std::vector<double> flow_at(static_cast<std::size_t>(nodes + 1), 0.0);
        std::vector<double> product_scale(static_cast<std::size_t>(nodes + 1), 0.0);
        std::int32_t half_band = 1;
        for (std::int32_t e = 1; e <= net.element_count; ++e) {
            const std::int32_t a = net.connectivity.start_node(e);
            const std::int32_t b = net.connectivity.end_node(e);
            const double dh = results.head[static_cast<std::size_t>(a)] -
                              results.head[static_cast<std::size_t>(b)];
            const double k = coefficient(e) * std::pow(std::max(std::fabs(dh), 1.0e-7), -0.46);
            half_band = std::max(half_band, std::abs(a - b) + 1);
            for (auto [n, m] : {std::pair{a, b}, std::pair{b, a}}) {
                product_scale[static_cast<std::size_t>(n)] +=
                    k * (std::fabs(results.head[static_cast<std::size_t>(a)]) +
                         std::fabs(results.head[static_cast<std::size_t>(b)]));
                flow_at[static_cast<std::size_t>(n)] +=
                    std::fabs(results.member[static_cast<std::size_t>(e)]);
                if (!known[static_cast<std::size_t>(n)] && known[static_cast<std::size_t>(m)])
                    load[static_cast<std::size_t>(n)] +=
                        k * results.head[static_cast<std::size_t>(m)];
            }
        }
        double load_sum = 0;
        for (std::int32_t n = 1; n <= nodes; ++n)
            load_sum += known[static_cast<std::size_t>(n)]
                            ? std::fabs(results.head[static_cast<std::size_t>(n)])
                            : std::fabs(load[static_cast<std::size_t>(n)]);
        const double tolerance = testing::nearest_float(generated.tolerance, 7);
        for (std::int32_t n = 1; n <= nodes; ++n) {
            if (known[static_cast<std::size_t>(n)]) continue;
            const double bound =
                1.5 * tolerance * load_sum + 2 * printed_half_unit +
                2 * half_band * unit_roundoff * product_scale[static_cast<std::size_t>(n)] +
                64 * unit_roundoff * flow_at[static_cast<std::size_t>(n)];
            EXPECT_NEAR(results.nodal[static_cast<std::size_t>(n)],
                        given[static_cast<std::size_t>(n)], bound)
                << "node " << n;
        }
    });
}

// Nearly every generated network converges.
TEST(TurbulentConvergence, MostGeneratedNetworksConverge) {
    int converged = 0;
    for (int seed = 1; seed <= network_count; ++seed) {
        const testing::GeneratedNetwork g = generate(seed);
        const std::string input = testing::input_file(g, true);
        MemorySource source(input);
        auto out = testing::MemoryReport::make("0\n");
        out->io.use_input_source(source);
        ASSERT_EQ(run_turbnet(out->io), 0) << out->errors;
        if (out->text().find(" convergence achieved on cycle") != std::string::npos) ++converged;
    }
    EXPECT_GE(converged, network_count * 9 / 10);
}

} // namespace
} // namespace pipenet
