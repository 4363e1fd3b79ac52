#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "../fem/memory_report.hpp"
#include "fem/assemble.hpp"
#include "fem/laminar.hpp"
#include "frontend/messages.hpp"

namespace pipenet {
namespace {

struct PipeGeometry {
    float x1, y1, x2, y2;
    float diameter;
    float rho_g_over_mu;
};

// One pipe from node 1 to node 2 as element `e` (earlier elements left empty).
FixedNetwork one_pipe(const PipeGeometry& g, std::int32_t e = 1) {
    FixedNetwork net{};
    net.node_count = 2;
    net.equation_count = 2;
    net.element_count = e;
    net.half_band = 2;
    net.x(1) = g.x1;
    net.y(1) = g.y1;
    net.x(2) = g.x2;
    net.y(2) = g.y2;
    net.connectivity(1, e) = 1;
    net.connectivity(2, e) = 2;
    net.diameter(e) = g.diameter;
    net.rho_g_over_mu = g.rho_g_over_mu;
    return net;
}

// The element routine as lamnet runs it: a faulty pipe gets its message in lamnet's words.
FaultCode form_element(testing::MemoryReport& out, std::int32_t e, Network& net) {
    const FaultCode code = laminar_element(e, net);
    if (code != FaultCode::none) write_fault(out.io, Program::lamnet, Fault{code, e, e});
    return code;
}

float conductance_of(const PipeGeometry& g) {
    auto out = testing::MemoryReport::make();
    FixedNetwork net = one_pipe(g);
    form_element(*out, 1, net);
    EXPECT_EQ(out->text(), "");
    EXPECT_EQ(net.element_matrix(2, 1), -net.element_matrix(1, 1));
    EXPECT_EQ(net.element_matrix(1, 2), -net.element_matrix(1, 1));
    EXPECT_EQ(net.element_matrix(2, 2), net.element_matrix(1, 1));
    return net.element_matrix(1, 1);
}

// (0,0)-(3,4), D = 1, rho_g_over_mu = 128: L = 5 and c = 3.1416 / 5, the float nearest the
// double quotient of the float 3.1416 by 5.
TEST(LaminarElement, ThreeFourFivePipe) {
    auto out = testing::MemoryReport::make();
    FixedNetwork net = one_pipe({0, 0, 3, 4, 1.0f, 128.0f});
    form_element(*out, 1, net);
    const float c = static_cast<float>(double{3.1416f} / 5.0);
    EXPECT_NEAR(c, 0.62832, 1e-7);
    EXPECT_EQ(net.element_matrix.storage, (std::array<float, 4>{c, -c, -c, c}));
    EXPECT_EQ(net.half_band, 2);
    EXPECT_EQ(out->text(), "");
}

// c = rho_g_over_mu * 3.1416 / 128 * D^4 / L; the length and D^4 come from the geometry. Each
// case is checked against that formula evaluated in long double, to within one float rounding.
TEST(LaminarElement, MatchesTheHagenPoiseuilleConductance) {
    const PipeGeometry cases[] = {
        {0, 0, 3, 4, 1.0f, 128.0f},     {1.5f, -2, -4.25f, 7, 0.3f, 9810.0f},
        {10, 10, 10, 11, 2.0f, 1.0f},   {-3, 0, 3, 0, 0.05f, 9.81e6f},
        {0, 0, 0.01f, 0, 0.2f, 5.0e4f}, {100, 100, -100, -100, 1.25f, 0.5f},
    };
    for (const PipeGeometry& g : cases) {
        const long double dx = static_cast<long double>(g.x2) - g.x1;
        const long double dy = static_cast<long double>(g.y2) - g.y1;
        const long double length = static_cast<float>(std::sqrt(dx * dx + dy * dy));
        const long double d = g.diameter;
        const long double expected =
            g.rho_g_over_mu * static_cast<long double>(3.1416f) / 128.0L * (d * d * d * d) / length;
        const float c = conductance_of(g);
        EXPECT_NEAR(c, static_cast<double>(expected),
                    static_cast<double>(expected) * std::numeric_limits<float>::epsilon())
            << "D " << g.diameter << " rho_g_over_mu " << g.rho_g_over_mu;
    }
}

// The result depends on D only through D^4 and on L as 1/L, exactly: scaling by powers of two
// commutes with the roundings.
TEST(LaminarElement, ScalesWithDiameterAndLength) {
    const PipeGeometry base{1, 2, 4.5f, -0.75f, 0.37f, 981.0f};
    const float c = conductance_of(base);
    PipeGeometry wide = base;
    wide.diameter *= 2;
    EXPECT_EQ(conductance_of(wide), 16 * c);
    PipeGeometry narrow = base;
    narrow.diameter /= 2;
    EXPECT_EQ(conductance_of(narrow), c / 16);
    PipeGeometry longer = base; // twice the length, same direction
    longer.x2 = 2 * base.x2 - base.x1;
    longer.y2 = 2 * base.y2 - base.y1;
    EXPECT_EQ(conductance_of(longer), c / 2);
    PipeGeometry thicker_fluid = base;
    thicker_fluid.rho_g_over_mu *= 2;
    EXPECT_EQ(conductance_of(thicker_fluid), 2 * c);
    PipeGeometry reversed = base;
    std::swap(reversed.x1, reversed.x2);
    std::swap(reversed.y1, reversed.y2);
    EXPECT_EQ(conductance_of(reversed), c);
}

struct FaultCase {
    const char* name;
    PipeGeometry geometry;
    std::int32_t element;
    std::string message;
};

TEST(LaminarElement, FaultyPipesReportAndLeaveTheMatrix) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::string zero_length = "\n **** zero length for element :     1 ****\n\n";
    const std::string zero_diameter = "\n **** zero diameter for element :     1 ****\n\n";
    const FaultCase cases[] = {
        {"ends_coincide", {2, 3, 2, 3, 1.0f, 128.0f}, 1, zero_length},
        {"zero_diameter", {0, 0, 3, 4, 0.0f, 128.0f}, 1, zero_diameter},
        {"negative_diameter", {0, 0, 3, 4, -0.5f, 128.0f}, 1, zero_diameter},
        {"nan_diameter", {0, 0, 3, 4, nan, 128.0f}, 1, zero_diameter},
        {"nan_length", {nan, 0, 3, 4, 1.0f, 128.0f}, 1, zero_length},
        // The length is tested first: one message only.
        {"both_zero", {1, 1, 1, 1, 0.0f, 128.0f}, 1, zero_length},
        {"element_seven",
         {0, 0, 3, 4, 0.0f, 128.0f},
         7,
         "\n **** zero diameter for element :     7 ****\n\n"},
        {"element_45",
         {5, 5, 5, 5, 1.0f, 128.0f},
         45,
         "\n **** zero length for element :    45 ****\n\n"},
    };
    for (const FaultCase& c : cases) {
        auto out = testing::MemoryReport::make();
        FixedNetwork net = one_pipe(c.geometry, c.element);
        net.element_matrix.storage = {1.5f, 2.5f, 3.5f, 4.5f};
        form_element(*out, c.element, net);
        EXPECT_EQ(out->text(), c.message) << c.name;
        EXPECT_EQ(net.element_matrix.storage, (std::array<float, 4>{1.5f, 2.5f, 3.5f, 4.5f}))
            << c.name;
    }
}

// Three faulty pipes among good ones are all reported in one assembly, in element order.
TEST(LaminarAssembly, ReportsEveryFaultyPipe) {
    auto out = testing::MemoryReport::make();
    FixedNetwork net{};
    net.node_count = 4;
    net.equation_count = 4;
    net.element_count = 5;
    net.half_band = 3;
    net.rho_g_over_mu = 128.0f;
    const float xs[] = {0, 3, 3, 6};
    const float ys[] = {0, 4, 4, 8};
    for (std::int32_t n = 1; n <= 4; ++n) {
        net.x(n) = xs[n - 1];
        net.y(n) = ys[n - 1];
    }
    const std::int32_t ends[][2] = {{1, 2}, {2, 3}, {3, 4}, {1, 4}, {4, 4}};
    const float diameters[] = {1.0f, 1.0f, 0.0f, 1.0f, -1.0f};
    for (std::int32_t e = 1; e <= 5; ++e) {
        net.connectivity(1, e) = ends[e - 1][0];
        net.connectivity(2, e) = ends[e - 1][1];
        net.diameter(e) = diameters[e - 1];
    }
    assemble_global(net, net.rhs, [&](std::int32_t e, Network& n, Vec1<const float>) {
        form_element(*out, e, n);
    });
    EXPECT_EQ(out->text(), "\n **** zero length for element :     2 ****\n\n"
                           "\n **** zero diameter for element :     3 ****\n\n"
                           "\n **** zero length for element :     5 ****\n\n");
}

// The discharge law reuses the conductance formula from the geometry: a head difference of 1
// over the 3-4-5 pipe with D = 1 and rho_g_over_mu = 128 carries about 3.1416 / 5.
TEST(LaminarDischarge, FollowsTheHeadDifference) {
    FixedNetwork net = one_pipe({0, 0, 3, 4, 1.0f, 128.0f});
    struct HeadCase {
        float h1, h2;
        double expected;
    };
    const double c = double{3.1416f} / 5.0;
    const HeadCase cases[] = {
        {1, 0, c}, {0, 1, -c}, {7.5f, 7.5f, 0.0}, {-2, 3, -5 * c}, {1000, -24, 1024 * c}};
    for (const HeadCase& h : cases) {
        EquationReals heads;
        heads(1) = h.h1;
        heads(2) = h.h2;
        const float q = laminar_discharge(1, net, heads);
        EXPECT_NEAR(q, h.expected,
                    2 * std::fabs(h.expected) * std::numeric_limits<float>::epsilon())
            << h.h1 << " " << h.h2;
    }
}

} // namespace
} // namespace pipenet
