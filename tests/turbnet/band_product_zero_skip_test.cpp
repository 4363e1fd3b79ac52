// band_product takes only the nonzero entries of the band; these checks compare it bit for bit
// with the plain row sums over every term, on random sparse bands whose entries and vectors
// include zeros of both signs, values whose products cancel, and infinities.
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "fem/network_kernels.hpp"
#include "tests/fem/band_fixture.hpp"

namespace pipenet {
namespace {

// Row i of y = K x with every term, k increasing, each partial sum rounded to float.
float full_row(const Network& net, const EquationReals& x, std::int32_t i) {
    const std::int32_t n = net.equation_count;
    const std::int32_t b = net.half_band;
    float sum = 0.0f;
    for (std::int32_t k = std::max(1, i - b + 1); k <= std::min(n, i + b - 1); ++k) {
        float entry = k <= i ? net.band(k, i - k + 1) : net.band(i, k - i + 1);
        sum = static_cast<float>(double{sum} + double{entry} * double{x(k)});
    }
    return sum;
}

TEST(BandProductZeroSkip, MatchesTheFullRowSums) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    // Zeros of both signs; 1.5 and -1.5 against x values 2 and 2 cancel to an exact zero sum;
    // -1e-30 * 1e-30 rounds to a negative zero sum, which a later zero term makes +0.
    const std::array<float, 11> entries = {0.0f,  0.0f,  0.0f,   -0.0f,   1.5f, -1.5f,
                                           0.25f, -3.0f, 1e-30f, -1e-30f, 0.0f};
    const std::array<float, 7> values = {2.0f, 2.0f, -0.0f, 0.0f, 1e-30f, -7.5f, 1.0f};
    std::mt19937 random(7);
    static FixedNetwork net;
    for (int trial = 0; trial < 500; ++trial) {
        net.clear();
        auto n = static_cast<std::int32_t>(random() % 25 + 1);
        auto b = static_cast<std::int32_t>(
            random() % static_cast<unsigned>(std::min(n, max_half_band)) + 1);
        net.equation_count = n;
        net.half_band = b;
        for (std::int32_t i = 1; i <= n; ++i)
            for (std::int32_t m = 1; m <= b && i + m - 1 <= n; ++m)
                net.band(i, m) = entries[random() % entries.size()];
        EquationReals x{};
        for (std::int32_t i = 1; i <= n; ++i) x(i) = values[random() % values.size()];
        if (trial == 0) { // row 1: -1e-30 * 1e-30 gives -0, then + 0 * 1 gives +0
            net.equation_count = n = 2;
            net.half_band = b = 2;
            net.band(1, 1) = -1e-30f;
            net.band(1, 2) = 0.0f;
            x(1) = 1e-30f;
            x(2) = 1.0f;
        }
        if (trial % 10 == 5)
            x(static_cast<std::int32_t>(random() % static_cast<unsigned>(n)) + 1) = inf;
        if (trial % 10 == 1) net.band(1, 1) = inf;
        EquationReals y{};
        mark_band_entries(net);
        band_product(net, x, y);
        for (std::int32_t i = 1; i <= n; ++i)
            ASSERT_EQ(std::bit_cast<std::uint32_t>(y(i)),
                      std::bit_cast<std::uint32_t>(full_row(net, x, i)))
                << "trial " << trial << ", row " << i << ": " << y(i) << " vs "
                << full_row(net, x, i);
    }
}

} // namespace
} // namespace pipenet
