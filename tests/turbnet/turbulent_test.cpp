#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../fem/memory_report.hpp"
#include "fem/network_kernels.hpp"
#include "fem/turbulent.hpp"
#include "frontend/messages.hpp"
#include "tests/fem/band_fixture.hpp"

namespace pipenet {
namespace {

constexpr float float_epsilon = std::numeric_limits<float>::epsilon();

struct Pipe {
    float x1, y1, x2, y2;
    float diameter;
};

// Pipes from node 2e - 1 to node 2e, one per entry.
FixedNetwork pipes_network(const std::vector<Pipe>& pipes, float roughness) {
    FixedNetwork net{};
    net.element_count = static_cast<std::int32_t>(pipes.size());
    net.node_count = 2 * net.element_count;
    net.equation_count = net.node_count;
    net.half_band = 2;
    net.relative_roughness = roughness;
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        const Pipe& p = pipes[static_cast<std::size_t>(e - 1)];
        net.x(2 * e - 1) = p.x1;
        net.y(2 * e - 1) = p.y1;
        net.x(2 * e) = p.x2;
        net.y(2 * e) = p.y2;
        net.connectivity(1, e) = 2 * e - 1;
        net.connectivity(2, e) = 2 * e;
        net.diameter(e) = p.diameter;
    }
    return net;
}

// The pipe coefficients as turbnet works them out: each faulty pipe gets its message in
// turbnet's words, in element order.
void coefficients(testing::MemoryReport& out, Network& net) {
    FixedPipeFaults faults;
    pipe_coefficients(net, faults);
    for (const Fault& fault : faults.list()) write_fault(out.io, Program::turbnet, fault);
}

// c = 0.2784 R D^2.63 / L^0.54, evaluated in long double with the decimal constants; the
// program's float constants and two float roundings keep it within a few float epsilons.
TEST(PipeCoefficients, FollowTheHazenWilliamsForm) {
    const std::vector<Pipe> pipes = {
        {0, 0, 3, 4, 1.0f},     {0, 0, 3, 4, 0.5f},      {-10, 2.5f, 40, 2.5f, 0.15f},
        {1, 1, 1.01f, 1, 2.0f}, {0, 0, 300, 400, 0.05f},
    };
    for (float roughness : {100.0f, 1.0f, 137.5f}) {
        auto out = testing::MemoryReport::make();
        FixedNetwork net = pipes_network(pipes, roughness);
        coefficients(*out, net);
        EXPECT_EQ(out->text(), "");
        for (std::int32_t e = 1; e <= net.element_count; ++e) {
            const Pipe& p = pipes[static_cast<std::size_t>(e - 1)];
            const long double dx = static_cast<long double>(p.x2) - p.x1;
            const long double dy = static_cast<long double>(p.y2) - p.y1;
            const long double length = std::sqrt(dx * dx + dy * dy);
            const long double c = 0.2784L * roughness *
                                  std::pow(static_cast<long double>(p.diameter), 2.63L) /
                                  std::pow(length, 0.54L);
            EXPECT_EQ(net.diameter(e), p.diameter); // the input stays as it was read
            EXPECT_NEAR(net.pipe_coefficient(e), static_cast<double>(c),
                        4 * float_epsilon * static_cast<double>(c))
                << "pipe " << e << " roughness " << roughness;
        }
    }
}

// A diameter seen before, also after ten others have come between, gives the coefficient its
// own computation gives: the same bits in whatever order the diameters come.
TEST(PipeCoefficients, RepeatedDiametersGiveTheSameBits) {
    const std::array<float, 11> sizes = {0.1f, 0.15f, 0.2f,  0.25f, 0.3f, 0.4f,
                                         0.5f, 0.6f,  0.75f, 0.9f,  1.2f};
    const std::array<std::size_t, 16> order = {0, 1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 3, 10, 1};
    std::vector<Pipe> repeated;
    for (std::size_t k : order)
        repeated.push_back({0, 0, 3.0f + static_cast<float>(k), 4, sizes[k]});
    auto out = testing::MemoryReport::make();
    FixedNetwork net = pipes_network(repeated, 120.0f);
    coefficients(*out, net);
    for (std::size_t i = 0; i < order.size(); ++i) {
        FixedNetwork single = pipes_network({repeated[i]}, 120.0f);
        coefficients(*out, single);
        EXPECT_EQ(net.pipe_coefficient(static_cast<std::int32_t>(i) + 1),
                  single.pipe_coefficient(1))
            << "pipe " << i + 1;
    }
    EXPECT_EQ(out->text(), "");
}

TEST(PipeCoefficients, FaultyPipesReportAndGetNoCoefficient) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto out = testing::MemoryReport::make();
    FixedNetwork net = pipes_network({{0, 0, 3, 4, 1.0f},
                                      {2, 2, 2, 2, 0.0f}, // both faults: the length message only
                                      {0, 0, 3, 4, -0.25f},
                                      {0, 0, 3, 4, 0.0f},
                                      {0, 0, 1, 0, nan},
                                      {0, 0, 3, 4, 1.0f}},
                                     100.0f);
    coefficients(*out, net);
    EXPECT_EQ(out->text(), "\n **** zero length for element  :     2 ****\n\n"
                           "\n **** zero diameter for element  :     3 ****\n\n"
                           "\n **** zero diameter for element  :     4 ****\n\n"
                           "\n **** zero diameter for element  :     5 ****\n\n");
    EXPECT_EQ(net.pipe_coefficient(2), 0.0f);
    EXPECT_EQ(net.pipe_coefficient(3), 0.0f);
    EXPECT_EQ(net.pipe_coefficient(4), 0.0f);
    EXPECT_EQ(net.diameter(3), -0.25f);
    // The good pipes on either side are still worked out, alike.
    EXPECT_GT(net.pipe_coefficient(1), 0.0f);
    EXPECT_EQ(net.pipe_coefficient(6), net.pipe_coefficient(1));
}

// One pipe of coefficient c between nodes 1 and 2 with the given heads.
struct SecantCase {
    const char* name;
    float head1;
    float head2;
    double expected_ratio; // k / c
};

TEST(TurbulentElement, SecantConductanceOfTheHeadDifference) {
    const float threshold = 1.0e-7f;
    const float above = std::nextafter(threshold, 1.0f);
    const SecantCase cases[] = {
        {"equal_heads", 5.0f, 5.0f, 1.0},
        {"zero_heads", 0.0f, 0.0f, 1.0},
        {"exactly_threshold", threshold, 0.0f, 1.0},
        {"exactly_threshold_negative", 0.0f, threshold, 1.0},
        {"just_above_threshold", above, 0.0f, std::pow(double{above}, -0.46)},
        {"just_above_negative", 0.0f, above, std::pow(double{above}, -0.46)},
        {"unit_difference", 3.0f, 2.0f, 1.0},
        {"unit_difference_negative", 2.0f, 3.0f, 1.0},
        {"sixteen", 20.0f, 4.0f, std::pow(16.0, -0.46)},
        {"small", 1.0e-3f, 0.0f, std::pow(double{1.0e-3f}, -0.46)},
    };
    for (const SecantCase& s : cases) {
        FixedNetwork net = pipes_network({{0, 0, 1, 0, 1.0f}}, 1.0f);
        const float c = 0.75f;
        net.pipe_coefficient(1) = c;
        EquationReals heads;
        heads(1) = s.head1;
        heads(2) = s.head2;
        turbulent_element(1, net, heads);
        const float k = net.element_matrix(1, 1);
        EXPECT_NEAR(k, c * s.expected_ratio, 2 * float_epsilon * c * s.expected_ratio) << s.name;
        EXPECT_EQ(net.element_matrix.storage, (std::array<float, 4>{k, -k, -k, k})) << s.name;
    }
    // Just above the threshold the conductance jumps to about 1660 times c.
    EXPECT_NEAR(std::pow(double{above}, -0.46), 1660.0, 1.0);
}

TEST(TurbulentElement, DirectionOfFlowDoesNotMatter) {
    for (float dh : {1.0e-6f, 0.37f, 2.5f, 1234.5f}) {
        FixedNetwork net = pipes_network({{0, 0, 1, 0, 1.0f}}, 1.0f);
        net.pipe_coefficient(1) = 1.3f;
        EquationReals heads;
        heads(1) = 10.0f + dh;
        heads(2) = 10.0f;
        turbulent_element(1, net, heads);
        const auto forward = net.element_matrix.storage;
        heads(1) = 10.0f;
        heads(2) = 10.0f + dh;
        turbulent_element(1, net, heads);
        EXPECT_EQ(net.element_matrix.storage, forward) << dh;
    }
}

// Q = c sign(dh) |dh|^0.54: a difference of 1 gives c itself with the sign of the difference.
TEST(TurbulentDischarge, PowerLawOfTheHeadDifference) {
    struct LawCase {
        float head1, head2;
        double expected_per_c;
    };
    const LawCase cases[] = {
        {1, 0, 1.0},
        {0, 1, -1.0},
        {7.5f, 6.5f, 1.0},
        {4, 0, std::pow(4.0, 0.54)},
        {-3, 13, -std::pow(16.0, 0.54)},
        {2, 2, 0.0},
        {0.01f, 0, std::pow(double{0.01f}, 0.54)},
    };
    FixedNetwork net = pipes_network({{0, 0, 1, 0, 1.0f}}, 1.0f);
    const float c = 2.5f;
    net.pipe_coefficient(1) = c;
    for (const LawCase& l : cases) {
        EquationReals heads;
        heads(1) = l.head1;
        heads(2) = l.head2;
        const float q = turbulent_discharge(1, net, heads);
        EXPECT_NEAR(q, c * l.expected_per_c, 2 * float_epsilon * c * std::fabs(l.expected_per_c))
            << l.head1 << " " << l.head2;
    }
    EquationReals heads;
    heads(1) = 1.0f;
    heads(2) = 0.0f;
    EXPECT_EQ(turbulent_discharge(1, net, heads), c);
    heads(1) = 0.0f;
    heads(2) = 1.0f;
    EXPECT_EQ(turbulent_discharge(1, net, heads), -c);
}

// band_product: y = K x for the symmetric K of which the band holds the upper half.
struct ProductCase {
    const char* name;
    std::int32_t n;
    std::int32_t b;
    std::vector<std::vector<float>> band; // rows, each b wide; entries past row n unused
    std::vector<float> x;
    std::vector<float> expected;
};

void PrintTo(const ProductCase& c, std::ostream* os) {
    *os << c.name;
}

class BandProduct : public ::testing::TestWithParam<ProductCase> {};

TEST_P(BandProduct, MultipliesTheSymmetricBand) {
    const ProductCase& c = GetParam();
    FixedNetwork net{};
    net.equation_count = c.n;
    net.half_band = c.b;
    // Entries that belong to no matrix entry, or lie beyond the half-bandwidth, must not be read.
    std::ranges::fill(band_storage(net), std::numeric_limits<float>::quiet_NaN());
    for (std::int32_t i = 1; i <= c.n; ++i)
        for (std::int32_t m = 1; m <= c.b && i + m - 1 <= c.n; ++m)
            net.band(i, m) =
                c.band[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(m - 1)];
    EquationReals x;
    EquationReals y;
    y.entries.fill(-5.0f);
    for (std::int32_t i = 1; i <= c.n; ++i) x(i) = c.x[static_cast<std::size_t>(i - 1)];
    mark_band_entries(net);
    band_product(net, x, y);
    for (std::int32_t i = 1; i <= c.n; ++i)
        EXPECT_EQ(y(i), c.expected[static_cast<std::size_t>(i - 1)]) << "row " << i;
    EXPECT_EQ(y(c.n + 1), -5.0f);
}

constexpr float big = 1.0e8f; // 1e8 + 1 rounds back to 1e8 in float

INSTANTIATE_TEST_SUITE_P(
    Cases, BandProduct,
    ::testing::Values(
        ProductCase{"diagonal_only", 3, 1, {{2}, {-3}, {0.5f}}, {1, 2, 4}, {2, -6, 2}},
        ProductCase{"single_equation", 1, 1, {{3}}, {-1.5f}, {-4.5f}},
        ProductCase{"single_equation_wide_band", 1, 3, {{3, 0, 0}}, {2}, {6}},
        // K = [2 -1 0; -1 2 -1; 0 -1 2]: the first row has no lower part, the last no upper.
        ProductCase{"tridiagonal", 3, 2, {{2, -1}, {2, -1}, {2, 0}}, {1, 2, 3}, {0, 0, 4}},
        // A row and column of a known head: a unit diagonal and zeros give y(2) = x(2).
        ProductCase{"unit_row", 3, 2, {{4, 0}, {1, 0}, {5, 0}}, {1, 7, 2}, {4, 7, 10}},
        // K = [1 2 3; 2 4 5; 3 5 6], full band.
        ProductCase{
            "full_band", 3, 3, {{1, 2, 3}, {4, 5, 0}, {6, 0, 0}}, {1, 10, 100}, {321, 542, 653}},
        // Term order. Row 2 is p x1 + d x2 + s x3 from the lower part in: with p = 1e8, d = 1,
        // s = -1e8 the diagonal is absorbed before the upper term cancels: (1e8 + 1) - 1e8 = 0.
        // Row 1: (1 + 1e8) + 0 = 1e8; row 3: (0 - 1e8) + 1 = -1e8.
        ProductCase{"order_upper_term_last",
                    3,
                    3,
                    {{1, big, 0}, {1, -big, 0}, {1, 0, 0}},
                    {1, 1, 1},
                    {big, 0, -big}},
        // With d = -1e8 and s = 1: (1e8 - 1e8) + 1 = 1; row 3: (0 + 1) + 1 = 2.
        ProductCase{"order_lower_before_upper",
                    3,
                    3,
                    {{1, big, 0}, {-big, 1, 0}, {1, 0, 0}},
                    {1, 1, 1},
                    {big, 1, 2}},
        // Row 3 is r x1 + s x2 + f x3, the diagonal last: (1e8 - 1e8) + 1 = 1.
        // Row 1: (1 + 0) + 1e8 = 1e8; row 2: (0 + 1) - 1e8 = -1e8.
        ProductCase{"order_diagonal_last_in_lower",
                    3,
                    3,
                    {{1, 0, big}, {1, -big, 0}, {1, 0, 0}},
                    {1, 1, 1},
                    {big, -big, 1}},
        // Row 1 is a x1 + p x2 + r x3, the farthest column last: (1e8 - 1e8) + 1 = 1.
        // Row 2: (-1e8 + 1) + 0 = -1e8; row 3: (1 + 0) + 1 = 2.
        ProductCase{"order_farthest_upper_last",
                    3,
                    3,
                    {{big, -big, 1}, {1, 0, 0}, {1, 0, 0}},
                    {1, 1, 1},
                    {1, -big, 2}},
        // A band of 2 in a system of 4: row 3 reads rows 2 and 3 only.
        ProductCase{"narrow_band_long_system",
                    4,
                    2,
                    {{1, 1}, {1, 1}, {1, 1}, {1, 0}},
                    {1, 2, 3, 4},
                    {3, 6, 9, 7}}),
    [](const ::testing::TestParamInfo<ProductCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace pipenet
