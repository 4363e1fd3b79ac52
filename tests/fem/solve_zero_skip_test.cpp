// The banded solver skips the zero entries of its pivot rows; these checks compare it bit for
// bit with a plain elimination that does every update, on systems chosen to defeat a careless
// skip (negative zeros reached through underflow, infinite pivot rows, zero results in the back
// substitution) and on many random sparse systems.
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fem/network_kernels.hpp"
#include "network/sized_network.hpp"
#include "tests/fem/band_fixture.hpp"

namespace pipenet {
namespace {

// Every update of every step, row by row, each result rounded to float where it is stored.
// Returns 0, or the singular row.
std::int32_t reference_solve(BandView band, Vec1<float> x, std::int32_t n, std::int32_t b,
                             float threshold) {
    auto k_entry = [&](std::int32_t i, std::int32_t j) -> float& { return band(i, j - i + 1); };
    for (std::int32_t k = 1; k <= n; ++k) {
        float pivot = k_entry(k, k);
        if (!(std::fabs(double{pivot}) - double{threshold} > 0.0)) return k;
        const std::int32_t last = std::min(k + b - 1, n);
        std::vector<float> original(static_cast<std::size_t>(b) + 1);
        for (std::int32_t j = k + 1; j <= last; ++j) {
            original[static_cast<std::size_t>(j - k)] = k_entry(k, j);
            k_entry(k, j) = static_cast<float>(double{k_entry(k, j)} / double{pivot});
        }
        x(k) = static_cast<float>(double{x(k)} / double{pivot});
        for (std::int32_t i = k + 1; i <= last; ++i) {
            const double f = original[static_cast<std::size_t>(i - k)];
            for (std::int32_t j = i; j <= last; ++j)
                k_entry(i, j) = static_cast<float>(double{k_entry(i, j)} - f * k_entry(k, j));
            x(i) = static_cast<float>(double{x(i)} - f * x(k));
        }
    }
    for (std::int32_t k = n - 1; k >= 1; --k) {
        const std::int32_t last = std::min(k + b - 1, n);
        for (std::int32_t j = k + 1; j <= last; ++j)
            x(k) = static_cast<float>(double{x(k)} - double{k_entry(k, j)} * double{x(j)});
    }
    return 0;
}

struct Case {
    std::string name;
    std::int32_t half_band;
    std::vector<std::vector<float>> rows; // band row i: K(i, i), K(i, i+1), ...
    std::vector<float> rhs;
};

// A network sized for the case, its band and right-hand side those of the case, its pattern that
// of the band's entries.
void build(SizedNetwork& sized, const Case& c) {
    const auto n = static_cast<std::int32_t>(c.rows.size());
    sized.size_records(n, n * c.half_band, 0);
    Network& net = sized.net;
    net.equation_count = n;
    net.node_count = n;
    net.half_band = c.half_band;
    sized.size_band();
    for (std::int32_t i = 1; i <= n; ++i) {
        const auto& row = c.rows[static_cast<std::size_t>(i - 1)];
        for (std::size_t m = 0; m < row.size(); ++m)
            net.band(i, static_cast<std::int32_t>(m) + 1) = row[m];
        net.rhs(i) = c.rhs[static_cast<std::size_t>(i - 1)];
    }
    mark_band_entries(net);
}

// Solves the case both ways and compares the solution, the reduced band and the singular exit.
void expect_same_bits(const Case& c, float threshold) {
    SizedNetwork solved_storage;
    SizedNetwork reference_storage;
    build(solved_storage, c);
    build(reference_storage, c);
    Network& solved = solved_storage.net;
    Network& reference = reference_storage.net;
    const auto n = static_cast<std::int32_t>(c.rows.size());
    std::int32_t singular =
        reference_solve(reference.band, reference.rhs, n, c.half_band, threshold);

    EXPECT_EQ(solve_banded(solved, solved.rhs, threshold, 0), singular) << c.name;
    for (std::int32_t i = 1; i <= n; ++i) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(solved.rhs(i)),
                  std::bit_cast<std::uint32_t>(reference.rhs(i)))
            << c.name << ": x(" << i << ") " << solved.rhs(i) << " vs " << reference.rhs(i);
        for (std::int32_t m = 1; m <= c.half_band && i + m - 1 <= n; ++m)
            EXPECT_EQ(std::bit_cast<std::uint32_t>(solved.band(i, m)),
                      std::bit_cast<std::uint32_t>(reference.band(i, m)))
                << c.name << ": band(" << i << ", " << m << ")";
    }
}

constexpr float inf = std::numeric_limits<float>::infinity();

const std::vector<Case> hand_cases = {
    // A chain with one node held: the common, sparse path.
    {"chain", 3, {{1, 0, 0}, {2, -1, 0}, {2, -1, 0}, {2, -1, 0}, {1, 0, 0}}, {10, 10, 0, 0, -1}},
    // Step 1 leaves K(3,4) = -1e-50, a negative zero in float; step 2 then subtracts
    // K(2,3) * K(2,4) / K(2,2) = +0 * -0.5, a negative zero, which turns it into +0.
    {"underflow to negative zero",
     4,
     {{1, 0, 1e-25f, 1e-25f}, {1, 0, -0.5f}, {1, 0}, {1}},
     {1, 2, 3, 4}},
    // The first pivot row divides to an infinity: 0 * inf makes a NaN in K(2,3).
    {"infinite pivot row", 3, {{1e-9f, 0, 1e30f}, {1, 2, 0}, {1, 0}}, {1, 1, 1}},
    // Back substitution of row 1: 0 - 1e-25 * 1e-25 rounds to -0, and the term with the zero
    // entry K(1,3) subtracts +0 * -2 = -0, giving +0.
    {"zero result in back substitution", 3, {{1, 1e-25f, 0}, {1, 0}, {1}}, {0, 1e-25f, -2}},
    // A negative zero on the right-hand side from the start.
    {"negative zero load", 2, {{2, 0}, {2, -1}, {1}}, {-0.0f, 3, -0.0f}},
    {"infinite load", 2, {{2, 0}, {2, 0}, {1}}, {inf, 3, 1}},
    {"singular second row", 2, {{1, 1}, {1, 0}, {1}}, {1, 1, 1}},
};

TEST(SolveZeroSkip, HandCasesMatchFullElimination) {
    for (const Case& c : hand_cases) expect_same_bits(c, turbnet_pivot_threshold);
}

// Random sparse systems with entries drawn from a pool rich in zeros of both signs and in
// values whose products underflow; some with an infinite load entry or an entry that divides to
// an infinity, which send the solver from the short path to the full updates part-way through.
//
// Every tenth system has a band wider than the programs' (more than one word of pattern a row),
// dense enough for the rows that the fill makes mostly nonzero to take the full updates.
TEST(SolveZeroSkip, RandomSparseSystemsMatchFullElimination) {
    std::mt19937 random(20261209);
    const std::array<float, 12> pool = {0.0f,   0.0f,    0.0f, 0.0f,   0.0f,  -0.0f,
                                        1e-25f, -1e-25f, 1.5f, -0.75f, -2.0f, 3.0e-3f};
    for (int trial = 0; trial < 400; ++trial) {
        const bool wide = trial % 10 == 9;
        const auto n = static_cast<std::int32_t>(wide ? random() % 100 + 100 : random() % 30 + 1);
        const std::int32_t widest = wide ? n : std::min(n, max_half_band);
        const auto b = static_cast<std::int32_t>(random() % static_cast<unsigned>(widest) + 1);
        Case c{"random " + std::to_string(trial), b, {}, {}};
        const bool with_negative_zeros = trial % 4 == 0;
        auto draw = [&] {
            float v = pool[random() % pool.size()];
            return (!with_negative_zeros && v == 0.0f) ? 0.0f : v;
        };
        for (std::int32_t i = 1; i <= n; ++i) {
            // Negative pivots in some systems: their rows divide +0 into -0.
            const float sign = trial % 5 == 1 && random() % 2 == 0 ? -1.0f : 1.0f;
            std::vector<float> row{sign * (4.0f + static_cast<float>(random() % 3))};
            for (std::int32_t m = 2; m <= b && i + m - 1 <= n; ++m) row.push_back(draw());
            c.rows.push_back(row);
            c.rhs.push_back(trial % 2 == 0 ? draw() : static_cast<float>(random() % 7) - 3.0f);
        }
        if (trial % 7 == 2) {
            const auto row = static_cast<std::size_t>(random() % static_cast<unsigned>(n));
            if (trial % 2 == 0 || c.rows[row].size() < 2) {
                c.rhs[row] = random() % 2 == 0 ? inf : -inf;
            } else {
                c.rows[row][0] = 1e-9f;
                c.rows[row][1 + random() % (c.rows[row].size() - 1)] = 1e30f;
            }
        }
        expect_same_bits(c, trial % 3 == 0 ? lamnet_pivot_threshold : turbnet_pivot_threshold);
    }
}

} // namespace
} // namespace pipenet
