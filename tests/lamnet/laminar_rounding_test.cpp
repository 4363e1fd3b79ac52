// Where the laminar law rounds to float, pinned bit for bit. Each expectation is worked out here
// from the store sequence: every stored value is a double evaluation of float operands rounded to
// float once, and every value on the way stays in double. The samples are checked to include
// ones where a rounding made elsewhere (a value stored that should stay in double, or the other
// way round) gives other bits, so that such a change fails these tests.
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fem/one_pipe.hpp"

#include "../fem/memory_report.hpp"
#include "fem/laminar.hpp"

namespace pipenet {
namespace {

float f(double value) {
    return static_cast<float>(value);
}

struct PipeSample {
    float x1, y1, x2, y2;
    float diameter;
    float rho_g_over_mu;
    float head1, head2;
};

// Pipes of every scale; half of them join heads of very different size, where the head
// difference is not a float.
std::vector<PipeSample> pipe_samples() {
    std::mt19937 rng(17);
    auto uniform = [&rng](double lo, double hi) {
        return f(std::uniform_real_distribution<double>(lo, hi)(rng));
    };
    std::vector<PipeSample> samples;
    for (int i = 0; i < 400; ++i) {
        PipeSample s{};
        s.x1 = uniform(-500, 500);
        s.y1 = uniform(-500, 500);
        s.x2 = uniform(-500, 500);
        s.y2 = uniform(-500, 500);
        s.diameter = uniform(0.01, 1.5);
        s.rho_g_over_mu = uniform(100, 1.0e6);
        s.head1 = uniform(-200, 200);
        s.head2 = i % 2 == 0 ? uniform(-200, 200) : uniform(-1.0e-3, 1.0e-3);
        samples.push_back(s);
    }
    return samples;
}

FixedNetwork one_pipe(const PipeSample& s) {
    FixedNetwork net = one_pipe_network(s.x1, s.y1, s.x2, s.y2, s.diameter);
    net.rho_g_over_mu = s.rho_g_over_mu;
    return net;
}

// The documented store sequence and the changes a refactoring might make to it.
enum class Stores {
    documented,
    length_in_double,      // L not rounded
    factor_rounded,        // k = rho_g_over_mu * pi / 128 rounded
    conductance_in_double, // the discharge's C not rounded
    difference_rounded,    // h(a) - h(b) rounded before the product
};

double length_of(const PipeSample& s, Stores stores) {
    const double dx = double{s.x2} - double{s.x1};
    const double dy = double{s.y2} - double{s.y1};
    const double length = std::sqrt(dx * dx + dy * dy);
    return stores == Stores::length_in_double ? length : double{f(length)};
}

float element_conductance(const PipeSample& s, Stores stores) {
    const double length = length_of(s, stores);
    double k = double{s.rho_g_over_mu} * double{3.1416f} / double{128.0f};
    if (stores == Stores::factor_rounded) k = f(k);
    const double d2 = double{s.diameter} * double{s.diameter};
    return f(d2 * d2 * k / length);
}

float discharge(const PipeSample& s, Stores stores) {
    const double length = length_of(s, stores);
    const double d2 = double{s.diameter} * double{s.diameter};
    double c = double{s.rho_g_over_mu} * double{3.1416f} * (d2 * d2) / (double{128.0f} * length);
    if (stores != Stores::conductance_in_double) c = f(c);
    double difference = double{s.head1} - double{s.head2};
    if (stores == Stores::difference_rounded) difference = f(difference);
    return f(difference * c);
}

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

// How many samples give other bits under `stores` than under the documented sequence.
template <class Law>
int samples_changed_by(const std::vector<PipeSample>& samples, Law law, Stores stores) {
    int changed = 0;
    for (const PipeSample& s : samples)
        changed += bits(law(s, stores)) != bits(law(s, Stores::documented)) ? 1 : 0;
    return changed;
}

TEST(LaminarRounding, ElementConductanceIsOneRoundingFromTheRoundedLength) {
    const std::vector<PipeSample> samples = pipe_samples();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        FixedNetwork net = one_pipe(samples[i]);
        EXPECT_EQ(laminar_element(1, net), FaultCode::none) << "sample " << i;
        const float expected = element_conductance(samples[i], Stores::documented);
        EXPECT_EQ(bits(net.element_matrix(1, 1)), bits(expected)) << "sample " << i;
        EXPECT_EQ(bits(net.element_matrix(1, 2)), bits(-expected)) << "sample " << i;
    }
    for (Stores moved : {Stores::length_in_double, Stores::factor_rounded})
        EXPECT_GT(samples_changed_by(samples, element_conductance, moved), 0)
            << "stores " << static_cast<int>(moved);
}

TEST(LaminarRounding, DischargeTakesTheRoundedConductanceAndTheDoubleHeadDifference) {
    const std::vector<PipeSample> samples = pipe_samples();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const PipeSample& s = samples[i];
        FixedNetwork net = one_pipe(s);
        EquationReals heads;
        heads(1) = s.head1;
        heads(2) = s.head2;
        EXPECT_EQ(bits(laminar_discharge(1, net, heads)), bits(discharge(s, Stores::documented)))
            << "sample " << i;
    }
    for (Stores moved :
         {Stores::length_in_double, Stores::conductance_in_double, Stores::difference_rounded})
        EXPECT_GT(samples_changed_by(samples, discharge, moved), 0)
            << "stores " << static_cast<int>(moved);
}

// Node 1 joins every other node; each nodal discharge is a running sum rounded at every pipe, in
// element order, the start node's term before the end node's.
TEST(LaminarRounding, NodalBalanceRoundsEveryTermOfItsSum) {
    const std::vector<PipeSample> samples = pipe_samples();
    constexpr std::int32_t pipes = 60;
    FixedNetwork net{};
    net.node_count = pipes + 1;
    net.equation_count = pipes + 1;
    net.element_count = pipes;
    net.rho_g_over_mu = 9810.0f;
    EquationReals heads;
    heads(1) = 100.0f;
    for (std::int32_t e = 1; e <= pipes; ++e) {
        const PipeSample& s = samples[static_cast<std::size_t>(e)];
        net.x(e + 1) = s.x2;
        net.y(e + 1) = s.y2;
        heads(e + 1) = s.head2;
        net.diameter(e) = s.diameter;
        // Every third pipe ends at node 1, so its discharge is taken from node 1's sum.
        net.connectivity(1, e) = e % 3 == 0 ? e + 1 : 1;
        net.connectivity(2, e) = e % 3 == 0 ? 1 : e + 1;
    }
    laminar::member_discharges(net, heads);

    double sum_in_double = 0.0;
    float sum = 0.0f;
    for (std::int32_t e = 1; e <= pipes; ++e) {
        const float q = laminar_discharge(e, net, heads);
        EXPECT_EQ(bits(net.member_discharge(e)), bits(q)) << "pipe " << e;
        const float other_end = e % 3 == 0 ? q : -q;
        EXPECT_EQ(bits(net.nodal_discharge(e + 1)), bits(f(0.0 + double{other_end})))
            << "node " << e + 1;
        const double term = e % 3 == 0 ? -double{q} : double{q};
        sum = f(double{sum} + term);
        sum_in_double += term;
    }
    EXPECT_EQ(bits(net.nodal_discharge(1)), bits(sum));
    EXPECT_NE(bits(sum), bits(f(sum_in_double))) << "the sample does not show the rounding";
}

} // namespace
} // namespace pipenet
