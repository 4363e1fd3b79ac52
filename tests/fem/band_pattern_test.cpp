// The band pattern against a plain entry-by-entry marking: every stored entry within the system
// that is not +0 is marked in its row's word and, when asked, in its column's word; negative
// zeros and NaNs are marked and reported when asked for.
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "fem/band_pattern.hpp"

namespace pipenet {
namespace {

TEST(BandPattern, MarksAHandCaseByRowAndByColumn) {
    // n = 3, b = 2: K(1,1) = 4, K(1,2) = -1, K(2,2) = 0, K(2,3) = -0, K(3,3) = 2. The entry
    // band(3, 2) lies outside the system and is not looked at.
    static Network net;
    net = Network{};
    net.band(1, 1) = 4.0f;
    net.band(1, 2) = -1.0f;
    net.band(2, 2) = -0.0f;
    net.band(3, 1) = 2.0f;
    net.band(3, 2) = 7.0f;
    BandRowBits rows;
    BandRowBits columns;
    EXPECT_TRUE(mark_band_pattern(net.band, 3, 2, rows, &columns, true));
    EXPECT_EQ(rows[1], 0b11u);
    EXPECT_EQ(rows[2], 0b10u);
    EXPECT_EQ(rows[3], 0b01u);
    EXPECT_EQ(columns[1], 0b01u); // K(1,1)
    EXPECT_EQ(columns[2], 0b10u); // K(1,2); K(2,2) is +0
    EXPECT_EQ(columns[3], 0b11u); // K(2,3) is -0, K(3,3)
    EXPECT_FALSE(mark_band_pattern(net.band, 3, 2, rows, nullptr, false));
    EXPECT_EQ(rows[2], 0b10u);
}

TEST(BandPattern, AgreesWithEntryByEntryMarkingOnRandomBands) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::array<float, 8> pool = {0.0f, 0.0f, 0.0f, 0.0f, 1.5f, -2.0f, -0.0f, nan};
    std::mt19937 random(7);
    static Network net;
    for (int trial = 0; trial < 3000; ++trial) {
        net = Network{};
        // Every size from 1 to the full band, so that columns shorter than a block of eight
        // and columns that end part-way through one are both met.
        const auto n = static_cast<std::int32_t>(trial % band_rows + 1);
        const auto b = static_cast<std::int32_t>(random() % max_half_band + 1);
        const bool specials = trial % 3 == 0;
        bool has_special = false;
        for (std::int32_t i = 1; i <= band_rows; ++i)
            for (std::int32_t m = 1; m <= max_half_band; ++m) {
                float v = pool[random() % (specials ? pool.size() : pool.size() - 2)];
                net.band(i, m) = v;
                if (m <= b && i + m - 1 <= n &&
                    (std::bit_cast<std::uint32_t>(v) == 0x80000000u || v != v))
                    has_special = true;
            }
        BandRowBits rows;
        BandRowBits columns;
        rows.fill(0xdeadbeefu); // cleared by the marking itself
        columns.fill(0xdeadbeefu);
        ASSERT_EQ(mark_band_pattern(net.band, n, b, rows, &columns, true), has_special);
        for (std::int32_t i = 1; i <= n; ++i) {
            std::uint32_t expected_row = 0;
            std::uint32_t expected_column = 0;
            for (std::int32_t m = 1; m <= b; ++m) {
                if (i + m - 1 <= n && std::bit_cast<std::uint32_t>(net.band(i, m)) != 0)
                    expected_row |= 1u << (m - 1);
                if (i - m + 1 >= 1 && std::bit_cast<std::uint32_t>(net.band(i - m + 1, m)) != 0)
                    expected_column |= 1u << (m - 1);
            }
            ASSERT_EQ(rows[static_cast<std::size_t>(i)], expected_row)
                << "n " << n << " b " << b << " row " << i;
            ASSERT_EQ(columns[static_cast<std::size_t>(i)], expected_column)
                << "n " << n << " b " << b << " column " << i;
        }
    }
}

} // namespace
} // namespace pipenet
