// Where the turbulent law rounds to float, pinned bit for bit. Each expectation is worked out here
// from the store sequence: every stored value is a double evaluation of float operands rounded to
// float once, std::pow is taken of doubles, and every value on the way stays in double. The
// samples are checked to include ones where a rounding made elsewhere gives other bits, so that
// such a change fails these tests.
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fem/one_pipe.hpp"

#include "../fem/memory_report.hpp"
#include "fem/turbulent.hpp"

namespace pipenet {
namespace {

float f(double value) {
    return static_cast<float>(value);
}

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

struct PipeSample {
    float x1, y1, x2, y2;
    float diameter;
    float roughness;
    float coefficient; // for the laws that take the coefficient as given
    float head1, head2;
};

// Pipes of every scale; half of them join heads of very different size, where the head
// difference is not a float, and some have head differences near the 1.0e-7 threshold.
std::vector<PipeSample> pipe_samples() {
    std::mt19937 rng(54);
    auto uniform = [&rng](double lo, double hi) {
        return f(std::uniform_real_distribution<double>(lo, hi)(rng));
    };
    std::vector<PipeSample> samples;
    for (int i = 0; i < 400; ++i) {
        PipeSample s{};
        s.x1 = uniform(-2000, 2000);
        s.y1 = uniform(-2000, 2000);
        s.x2 = uniform(-2000, 2000);
        s.y2 = uniform(-2000, 2000);
        s.diameter = uniform(0.02, 1.5);
        s.roughness = uniform(60, 150);
        s.coefficient = uniform(1.0e-4, 2.0);
        s.head1 = uniform(-100, 100);
        switch (i % 4) {
        case 0:
            s.head2 = uniform(-100, 100);
            break;
        case 1:
            s.head2 = uniform(-1.0e-3, 1.0e-3);
            break;
        case 2:
            s.head1 = uniform(-1.0e-6, 1.0e-6);
            s.head2 = uniform(-1.0e-6, 1.0e-6);
            break;
        default:
            s.head2 = s.head1 + uniform(-1.0e-5, 1.0e-5);
            break;
        }
        samples.push_back(s);
    }
    return samples;
}

FixedNetwork one_pipe(const PipeSample& s) {
    FixedNetwork net = one_pipe_network(s.x1, s.y1, s.x2, s.y2, s.diameter);
    net.relative_roughness = s.roughness;
    return net;
}

// The documented store sequence and the changes a refactoring might make to it.
enum class Stores {
    documented,
    length_in_double,     // L not rounded
    numerator_in_double,  // t = D^2.63 * 0.2784 * R not rounded
    float_powers,         // the powers taken in float
    difference_in_double, // dh (d) not rounded
    power_rounded,        // the power of |dh| rounded before the product
};

float pipe_coefficient(const PipeSample& s, Stores stores) {
    const double dx = double{s.x2} - double{s.x1};
    const double dy = double{s.y2} - double{s.y1};
    double length = std::sqrt(dx * dx + dy * dy);
    if (stores != Stores::length_in_double) length = f(length);
    double t = (stores == Stores::float_powers ? double{std::pow(s.diameter, 2.63f)}
                                               : std::pow(double{s.diameter}, double{2.63f})) *
               double{0.2784f} * double{s.roughness};
    if (stores != Stores::numerator_in_double) t = f(t);
    const double divisor = stores == Stores::float_powers ? double{std::pow(f(length), 0.54f)}
                                                          : std::pow(length, double{0.54f});
    return f(t / divisor);
}

float secant_conductance(const PipeSample& s, Stores stores) {
    double dh = double{s.head1} - double{s.head2};
    if (stores != Stores::difference_in_double) dh = f(dh);
    const double magnitude = std::fabs(dh);
    if (!(magnitude - double{1.0e-7f} > 0.0)) return s.coefficient;
    double power = std::pow(magnitude, double{-0.46f});
    if (stores == Stores::power_rounded) power = f(power);
    return f(power * double{s.coefficient});
}

float discharge(const PipeSample& s, Stores stores) {
    double d = double{s.head1} - double{s.head2};
    if (stores != Stores::difference_in_double) d = f(d);
    const double sign = std::signbit(d) ? -1.0 : 1.0;
    double power = std::pow(std::fabs(d), double{0.54f});
    if (stores == Stores::power_rounded) power = f(power);
    return f(power * (sign * double{s.coefficient}));
}

template <class Law>
int samples_changed_by(const std::vector<PipeSample>& samples, Law law, Stores stores) {
    int changed = 0;
    for (const PipeSample& s : samples)
        changed += bits(law(s, stores)) != bits(law(s, Stores::documented)) ? 1 : 0;
    return changed;
}

TEST(TurbulentRounding, PipeCoefficientRoundsTheNumeratorAndTheQuotient) {
    const std::vector<PipeSample> samples = pipe_samples();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        FixedNetwork net = one_pipe(samples[i]);
        FixedPipeFaults faults;
        pipe_coefficients(net, faults);
        EXPECT_TRUE(faults.empty()) << "sample " << i;
        EXPECT_EQ(bits(net.pipe_coefficient(1)),
                  bits(pipe_coefficient(samples[i], Stores::documented)))
            << "sample " << i;
        // The diameter as read stays beside its coefficient.
        EXPECT_EQ(bits(net.diameter(1)), bits(samples[i].diameter)) << "sample " << i;
    }
    for (Stores moved :
         {Stores::length_in_double, Stores::numerator_in_double, Stores::float_powers})
        EXPECT_GT(samples_changed_by(samples, pipe_coefficient, moved), 0)
            << "stores " << static_cast<int>(moved);
}

TEST(TurbulentRounding, SecantConductanceFromTheRoundedHeadDifference) {
    const std::vector<PipeSample> samples = pipe_samples();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const PipeSample& s = samples[i];
        FixedNetwork net = one_pipe(s);
        net.pipe_coefficient(1) = s.coefficient;
        EquationReals heads;
        heads(1) = s.head1;
        heads(2) = s.head2;
        turbulent_element(1, net, heads);
        const float k = secant_conductance(s, Stores::documented);
        EXPECT_EQ(bits(net.element_matrix(1, 1)), bits(k)) << "sample " << i;
        EXPECT_EQ(bits(net.element_matrix(2, 1)), bits(-k)) << "sample " << i;
    }
    for (Stores moved : {Stores::difference_in_double, Stores::power_rounded})
        EXPECT_GT(samples_changed_by(samples, secant_conductance, moved), 0)
            << "stores " << static_cast<int>(moved);
}

// Every pipe's member discharge, and each node's running sum rounded at every term, start node
// first, over a network where node 1 joins every other node.
TEST(TurbulentRounding, MemberDischargesFromTheRoundedHeadDifference) {
    const std::vector<PipeSample> samples = pipe_samples();
    constexpr std::int32_t pipes = 99;
    FixedNetwork net{};
    net.node_count = pipes + 1;
    net.equation_count = pipes + 1;
    net.element_count = pipes;
    EquationReals heads;
    heads(1) = samples[0].head1;
    for (std::int32_t e = 1; e <= pipes; ++e) {
        const PipeSample& s = samples[static_cast<std::size_t>(e)];
        heads(e + 1) = s.head2;
        net.pipe_coefficient(e) = s.coefficient;
        net.connectivity(1, e) = e % 3 == 0 ? e + 1 : 1;
        net.connectivity(2, e) = e % 3 == 0 ? 1 : e + 1;
    }
    turbulent::member_discharges(net, heads);

    float sum = 0.0f;
    double sum_in_double = 0.0;
    for (std::int32_t e = 1; e <= pipes; ++e) {
        PipeSample s = samples[static_cast<std::size_t>(e)];
        s.head1 = heads(net.connectivity.start_node(e));
        s.head2 = heads(net.connectivity.end_node(e));
        const float q = discharge(s, Stores::documented);
        EXPECT_EQ(bits(net.member_discharge(e)), bits(q)) << "pipe " << e;
        const double term = e % 3 == 0 ? -double{q} : double{q};
        sum = f(double{sum} + term);
        sum_in_double += term;
    }
    EXPECT_EQ(bits(net.nodal_discharge(1)), bits(sum));
    EXPECT_NE(bits(sum), bits(f(sum_in_double))) << "the sample does not show the rounding";
    for (Stores moved : {Stores::difference_in_double, Stores::power_rounded})
        EXPECT_GT(samples_changed_by(samples, discharge, moved), 0)
            << "stores " << static_cast<int>(moved);
}

} // namespace
} // namespace pipenet
