// Writing reals into input fields so that they read back as the same float.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "report/exact_field.hpp"
#include "report/fields.hpp"

namespace pipenet {
namespace {

std::string written(int width, int decimals, float value, bool& fits) {
    std::string field(static_cast<std::size_t>(width), '?');
    fits = write_real_field_exact(field.data(), width, decimals, value);
    return field;
}

struct ExactCase {
    int width;
    int decimals;
    float value;
    const char* expected;
};

TEST(WriteRealFieldExact, PrefersTheUsualFixedFormThenTheShortestText) {
    const ExactCase cases[] = {
        {10, 2, 600.0f, "    600.00"},      // the usual form reads back exactly
        {15, 7, 130.0f, "    130.0000000"}, // the turbnet roughness field
        {10, 7, 1.0e-6f, " 0.0000010"},     // the tolerance field
        {10, 2, 12.345f, "    12.345"},     // more decimals than the field's: the point decides
        {10, 5, 0.3f, "   0.30000"},        // diameter field
        {10, 5, 1.0e-7f, " 0.0000001"},     // below the field's decimals: shortest fixed text
        {10, 2, 123456.789f, " 123456.79"}, // the usual form is the nearest decimal
        {10, 4, -0.0001234f, "-0.0001234"}, // fixed notation just fits
        {10, 2, 3.0e9f, "      3.e9"},      // exponent with a point, no plus sign, no zeros
        {10, 2, -1.5e-9f, "   -1.5e-9"},
        {12, 4, -0.0012345678f, "-.0012345678"}, // the zero before the point dropped
        {12, 4, -1.2345678e-5f, "-1.2345678-5"}, // the exponent's sign alone starts it
    };
    for (const ExactCase& c : cases) {
        bool fits = false;
        EXPECT_EQ(written(c.width, c.decimals, c.value, fits), c.expected) << c.value;
        EXPECT_TRUE(fits) << c.value;
    }
}

TEST(WriteRealFieldExact, EveryWrittenFieldReadsBackToTheSameFloat) {
    std::mt19937 random(15);
    const int decimals_of_width[][2] = {{10, 2}, {10, 4}, {10, 5}, {10, 7}, {12, 4}, {15, 7}};
    for (const auto& layout : decimals_of_width) {
        int width = layout[0];
        int decimals = layout[1];
        int written_count = 0;
        for (int i = 0; i < 20000; ++i) {
            // Random bit patterns over a wide range of magnitudes, and decimal-looking values.
            float value =
                i % 2 == 0
                    ? std::bit_cast<float>(static_cast<std::uint32_t>(random()))
                    : static_cast<float>(static_cast<int>(random() % 2000000) - 1000000) / 100.0f;
            if (!std::isfinite(value)) continue;
            bool fits = false;
            std::string field = written(width, decimals, value, fits);
            if (!fits) {
                EXPECT_EQ(field, std::string(static_cast<std::size_t>(width), '*'));
                continue;
            }
            ++written_count;
            float back = 0.0f;
            ASSERT_TRUE(read_real_field(field, decimals, back)) << field;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(value))
                << "'" << field << "' for " << value;
        }
        EXPECT_GT(written_count, 10000) << width << "." << decimals;
    }
}

TEST(WriteRealFieldExact, RefusesWhatCannotReadBack) {
    bool fits = true;
    EXPECT_EQ(written(10, 2, std::numeric_limits<float>::infinity(), fits), "**********");
    EXPECT_FALSE(fits);
    EXPECT_EQ(written(10, 2, std::numeric_limits<float>::quiet_NaN(), fits), "**********");
    EXPECT_FALSE(fits);
    // Nine significant digits and an exponent need more than five columns.
    EXPECT_EQ(written(5, 2, 1.23456791e-20f, fits), "*****");
    EXPECT_FALSE(fits);
}

TEST(FittingValue, RoundsOnlyWhatDoesNotFitAndStaysWithinFloatPrecision) {
    // Fits as it is: unchanged.
    EXPECT_EQ(fitting_value(-0.05f, 12, 4), -0.05f);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> mantissa(1.0f, 10.0f);
    int rounded = 0;
    for (int i = 0; i < 5000; ++i) {
        // Discharges from 1e-9 to 1e-1 in the 12-column field, both signs.
        float value = mantissa(random) * std::pow(10.0f, -static_cast<float>(1 + i % 9)) *
                      (i % 2 == 0 ? -1.0f : 1.0f);
        float fitted = fitting_value(value, 12, 4);
        std::string field(12, ' ');
        ASSERT_TRUE(write_real_field_exact(field.data(), 12, 4, fitted)) << value;
        // At most one float away.
        EXPECT_TRUE(fitted == value || fitted == std::nextafter(value, 1.0f) ||
                    fitted == std::nextafter(value, -1.0f))
            << value << " became " << fitted;
        if (fitted != value) ++rounded;
    }
    EXPECT_GT(rounded, 0); // the distribution does reach values that need rounding
}

} // namespace
} // namespace pipenet
