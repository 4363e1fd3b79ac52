// One Newton-Raphson pass of turbnet on a two-pipe network, 1 -- 2 -- 3 with the head of node 1
// known: the correction's bits, and where the iteration limit stops the passes.
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../fem/memory_report.hpp"
#include "../fem/random_network.hpp"
#include "engine/analysis.hpp"
#include "fem/assemble.hpp"
#include "fem/network_kernels.hpp"
#include "fem/turbulent.hpp"
#include "turbnet/turbnet.hpp"

namespace pipenet {
namespace {

float f(double value) {
    return static_cast<float>(value);
}

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

// Nodes at 0, 500 and 1000 m, pipes of 0.3 and 0.2 m, node 1 held at 50 m, 0.03 and 0.02 m3/s
// drawn at nodes 2 and 3.
FixedNetwork two_pipes() {
    FixedNetwork net{};
    net.node_count = 3;
    net.equation_count = 3;
    net.element_count = 2;
    net.known_discharge_count = 2;
    net.known_head_count = 1;
    net.half_band = 2;
    net.relative_roughness = 120.0f;
    net.x(2) = 500.0f;
    net.x(3) = 1000.0f;
    net.connectivity(1, 1) = 1;
    net.connectivity(2, 1) = 2;
    net.connectivity(1, 2) = 2;
    net.connectivity(2, 2) = 3;
    net.diameter(1) = 0.3f;
    net.diameter(2) = 0.2f;
    net.boundary_nodes.node(1) = 1;
    net.prescribed_head(1) = 50.0f;
    return net;
}

// The state of a pass at the given heads: the band of secant conductances with the known head
// imposed, and in rhs the residual load - band * heads.
void pass_state(Network& net, const EquationReals& heads) {
    FixedPipeFaults faults;
    pipe_coefficients(net, faults);
    ASSERT_TRUE(faults.empty());
    assemble_global(net, heads, turbulent_element);
    find_band_pattern(net);
    EquationReals load;
    load(2) = -0.03f;
    load(3) = -0.02f;
    apply_prescribed_heads(net, load);
    band_product(net, heads, net.rhs);
    for (std::int32_t i = 1; i <= 3; ++i) net.rhs(i) = f(double{load(i)} - double{net.rhs(i)});
}

// The correction worked out from the band and the residual: each residual entry divided by the
// flow exponent and rounded, then the tridiagonal elimination and back substitution, every
// stored value rounded once. `divisor` is the flow exponent; `divide_last` divides the solution
// instead of the residual.
std::vector<float> correction(const Network& net, double divisor, bool divide_last) {
    float k[4][4] = {};
    for (std::int32_t i = 1; i <= 3; ++i) {
        k[i][i] = net.band(i, 1);
        if (i < 3) k[i][i + 1] = net.band(i, 2);
    }
    std::vector<float> x(4, 0.0f);
    for (std::int32_t i = 1; i <= 3; ++i)
        x[static_cast<std::size_t>(i)] = divide_last ? net.rhs(i) : f(double{net.rhs(i)} / divisor);
    float divided[4] = {};
    for (std::int32_t r = 1; r <= 2; ++r) {
        const double pivot = k[r][r];
        const double factor = k[r][r + 1];
        divided[r] = f(factor / pivot);
        x[static_cast<std::size_t>(r)] = f(double{x[static_cast<std::size_t>(r)]} / pivot);
        k[r + 1][r + 1] = f(double{k[r + 1][r + 1]} - factor * double{divided[r]});
        x[static_cast<std::size_t>(r + 1)] = f(double{x[static_cast<std::size_t>(r + 1)]} -
                                               factor * double{x[static_cast<std::size_t>(r)]});
    }
    x[3] = f(double{x[3]} / double{k[3][3]});
    for (std::int32_t r = 2; r >= 1; --r)
        x[static_cast<std::size_t>(r)] =
            f(double{x[static_cast<std::size_t>(r)]} -
              double{divided[r]} * double{x[static_cast<std::size_t>(r + 1)]});
    if (divide_last)
        for (std::int32_t i = 1; i <= 3; ++i)
            x[static_cast<std::size_t>(i)] = f(double{x[static_cast<std::size_t>(i)]} / divisor);
    return x;
}

TEST(NewtonCorrection, SolvesTheResidualDividedByTheFlowExponent) {
    std::mt19937 rng(3);
    auto uniform = [&rng](double lo, double hi) {
        return f(std::uniform_real_distribution<double>(lo, hi)(rng));
    };
    int changed_by_055 = 0;
    int changed_by_dividing_last = 0;
    int changed_by_reciprocal = 0;
    const double reciprocal_divisor = 1.0 / double{f(1.0 / double{0.54f})};
    for (int sample = 0; sample < 100; ++sample) {
        FixedNetwork net = two_pipes();
        EquationReals heads;
        heads(1) = 50.0f;
        heads(2) = uniform(45.0, 49.99);
        heads(3) = heads(2) - uniform(0.01, 5.0);
        pass_state(net, heads);
        const std::vector<float> expected = correction(net, double{0.54f}, false);
        const std::vector<float> with_055 = correction(net, double{0.55f}, false);
        const std::vector<float> dividing_last = correction(net, double{0.54f}, true);
        const std::vector<float> by_reciprocal = correction(net, reciprocal_divisor, false);

        EXPECT_EQ(newton_correction(net, 0), 0);
        for (std::int32_t i = 1; i <= 3; ++i) {
            const auto at = static_cast<std::size_t>(i);
            EXPECT_EQ(bits(net.rhs(i)), bits(expected[at])) << "sample " << sample << " row " << i;
            changed_by_055 += bits(with_055[at]) != bits(expected[at]) ? 1 : 0;
            changed_by_dividing_last += bits(dividing_last[at]) != bits(expected[at]) ? 1 : 0;
            changed_by_reciprocal += bits(by_reciprocal[at]) != bits(expected[at]) ? 1 : 0;
        }
        // The known head is not corrected.
        EXPECT_EQ(net.rhs(1), 0.0f);
    }
    // The samples tell the documented sequence from its near misses.
    EXPECT_GT(changed_by_055, 0);
    EXPECT_GT(changed_by_dividing_last, 0);
    EXPECT_GT(changed_by_reciprocal, 0);
}

// A group of nodes joined to no known head ends the correction at the row the caller names,
// even where the pivot there is well above the threshold.
TEST(NewtonCorrection, StopsAtTheFloatingRow) {
    FixedNetwork net = two_pipes();
    EquationReals heads;
    heads(1) = 50.0f;
    heads(2) = 49.0f;
    heads(3) = 48.0f;
    pass_state(net, heads);
    ASSERT_GT(std::fabs(net.band(3, 1)), 1.0e-3f);
    EXPECT_EQ(newton_correction(net, 3), 3);
}

// The whole program on the same network with the print flag 1: the pass numbers printed, and
// the line that ends the passes.
struct Passes {
    std::vector<int> numbers;
    bool converged = false;
    bool limit_reached = false;
    int converged_on = -1;
};

Passes run_passes(std::int32_t max_iterations) {
    testing::GeneratedNetwork g;
    g.nodes = 3;
    g.x = {0, 50000, 100000};
    g.y = {0, 0, 0};
    g.pipes = {{1, 2, 30000}, {2, 3, 20000}};
    g.discharges = {{2, -300}, {3, -200}};
    g.heads = {{1, 500000}};
    g.max_iterations = max_iterations;
    g.tolerance = 1;                   // 1.0e-7
    g.relative_roughness = 1200000000; // 120.0
    const std::string input = testing::input_file(g, true);
    MemorySource source(input);
    auto out = testing::MemoryReport::make("1\n");
    out->io.use_input_source(source);
    EXPECT_EQ(run_turbnet(out->io), 0) << out->errors;
    const std::string& report = out->text();
    Passes passes;
    const std::string header = " ***** iteration number";
    for (std::size_t at = report.find(header); at != std::string::npos;
         at = report.find(header, at + 1))
        passes.numbers.push_back(std::stoi(report.substr(at + header.size(), 5)));
    const std::string converged = " convergence achieved on cycle";
    if (std::size_t at = report.find(converged); at != std::string::npos) {
        passes.converged = true;
        passes.converged_on = std::stoi(report.substr(at + converged.size(), 5));
    }
    passes.limit_reached =
        report.find(" maximum number of iterations reached without") != std::string::npos;
    return passes;
}

// A limit of n allows n corrections: the passes 0 ... n are made, and a run that converges on
// cycle n converges with the limit n but stops unconverged with the limit n - 1.
TEST(TurbnetIterationLimit, AllowsExactlyTheLimitOfCorrections) {
    const Passes free = run_passes(50);
    ASSERT_TRUE(free.converged);
    const int needed = free.converged_on;
    ASSERT_GE(needed, 2) << "the network should need a few corrections";

    const Passes at_limit = run_passes(needed);
    EXPECT_TRUE(at_limit.converged);
    EXPECT_EQ(at_limit.converged_on, needed);
    EXPECT_FALSE(at_limit.limit_reached);

    for (int limit : {needed - 1, 0}) {
        SCOPED_TRACE(::testing::Message() << "limit " << limit);
        const Passes short_of = run_passes(limit);
        EXPECT_FALSE(short_of.converged);
        EXPECT_TRUE(short_of.limit_reached);
        std::vector<int> expected_numbers;
        for (int n = 0; n <= limit; ++n) expected_numbers.push_back(n);
        EXPECT_EQ(short_of.numbers, expected_numbers);
    }
}

} // namespace
} // namespace pipenet
