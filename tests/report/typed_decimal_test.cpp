// The double a float read from a field was typed as, against the library's shortest text of the
// float read back as a double.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string_view>

#include <gtest/gtest.h>

#include "report/fields.hpp"
#include "report/typed_decimal.hpp"

namespace pipenet {
namespace {

double library_decimal(float value) {
    char text[64];
    const char* end = std::to_chars(text, text + sizeof text, value).ptr;
    double back = 0.0;
    std::from_chars(text, end, back);
    return back;
}

// Counts the values whose typed_decimal differs from the library's, reporting the first few.
struct Comparison {
    std::size_t differing = 0;
    void check(float value) {
        for (float v : {value, -value}) {
            const double expected = library_decimal(v);
            const double got = typed_decimal(v);
            if (std::bit_cast<std::uint64_t>(got) != std::bit_cast<std::uint64_t>(expected) &&
                ++differing <= 10)
                ADD_FAILURE() << std::hexfloat << v << " gave " << got << ", not " << expected;
        }
    }
};

// Decimals of six significant digits or fewer at every scale the quick way takes and beyond it,
// and the floats right beside them, where a decimal of six digits no longer reads back.
TEST(TypedDecimal, AgreesWithTheShortestDecimalOfTypedValues) {
    Comparison comparison;
    for (int q = -13; q <= 13; ++q)
        for (std::int32_t m = 100000; m <= 999999; m += 37) {
            float value = 0.0f;
            char text[32];
            char* end = std::to_chars(text, text + sizeof text, m).ptr;
            *end++ = 'e';
            end = std::to_chars(end, text + sizeof text, q).ptr;
            std::from_chars(text, end, value);
            comparison.check(value);
            comparison.check(std::nextafter(value, 0.0f));
            comparison.check(std::nextafter(value, std::numeric_limits<float>::infinity()));
        }
    EXPECT_EQ(comparison.differing, 0u);
}

// Floats of every binade, spread evenly over their significands, and the special values.
TEST(TypedDecimal, AgreesWithTheShortestDecimalOfAnyFloat) {
    Comparison comparison;
    std::mt19937 random(28);
    for (std::uint32_t exponent = 0; exponent < 255; ++exponent)
        for (int i = 0; i < 3000; ++i)
            comparison.check(std::bit_cast<float>(
                (exponent << 23) | (static_cast<std::uint32_t>(random()) & 0x7fffffu)));
    for (float v :
         {0.0f, std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::min(),
          std::numeric_limits<float>::max(), 1e-5f, std::nextafter(1e-5f, 0.0f), 1e16f,
          std::nextafter(1e16f, 0.0f), 999999.5f, 9999995.0f, 0.9999995f})
        comparison.check(v);
    EXPECT_EQ(comparison.differing, 0u);
    EXPECT_TRUE(std::isinf(typed_decimal(std::numeric_limits<float>::infinity())));
    EXPECT_TRUE(std::isnan(typed_decimal(std::numeric_limits<float>::quiet_NaN())));
}

// Found first at a field's implied decimals: the same double as the library's shortest decimal,
// for the values such a field holds (up to seven digits at every number of decimals, and the
// floats beside them), for floats of any binade at any number of places, and for the special
// values, which take the general way.
TEST(TypedDecimal, AtAFieldsDecimalsAgreesWithTheShortestDecimal) {
    struct Places {
        int decimals;
        std::size_t differing = 0;
        void check(float value) {
            for (float v : {value, -value}) {
                const double expected = library_decimal(v);
                const double got = typed_decimal(v, decimals);
                if (std::bit_cast<std::uint64_t>(got) != std::bit_cast<std::uint64_t>(expected) &&
                    ++differing <= 10)
                    ADD_FAILURE() << std::hexfloat << v << " at " << decimals << " decimals gave "
                                  << got << ", not " << expected;
            }
        }
    };
    std::mt19937 random(2028);
    for (int decimals = -1; decimals <= 9; ++decimals) {
        Places places{decimals};
        const float power = std::pow(10.0f, static_cast<float>(decimals < 0 ? 0 : decimals));
        for (std::int32_t m = 0; m <= 9'999'999;
             m += 1 + static_cast<std::int32_t>(random() % 97)) {
            // The float the field's text m (its point implied) reads as.
            const float value = static_cast<float>(m) / power;
            places.check(value);
            places.check(std::nextafter(value, 0.0f));
            places.check(std::nextafter(value, std::numeric_limits<float>::infinity()));
        }
        for (std::uint32_t exponent = 0; exponent < 255; exponent += 3)
            for (int i = 0; i < 200; ++i)
                places.check(std::bit_cast<float>(
                    (exponent << 23) | (static_cast<std::uint32_t>(random()) & 0x7fffffu)));
        for (float v : {0.0f, 0.5f, 999999.5f, 999999.0f, 1e6f, 0.05f, 0.000001f, 9.999995f,
                        std::numeric_limits<float>::denorm_min()})
            places.check(v);
        EXPECT_EQ(places.differing, 0u) << decimals;
        EXPECT_TRUE(std::isinf(typed_decimal(std::numeric_limits<float>::infinity(), decimals)));
        EXPECT_TRUE(std::isnan(typed_decimal(std::numeric_limits<float>::quiet_NaN(), decimals)));
    }
    // The values as typed, worked by hand: 210.71 at 2 places, 0.15 at 5, -0.0500 at 4.
    EXPECT_EQ(typed_decimal(210.71f, 2), 210.71);
    EXPECT_EQ(typed_decimal(0.15f, 5), 0.15);
    EXPECT_EQ(typed_decimal(-0.05f, 4), -0.05);
    EXPECT_EQ(typed_decimal(0.123456f, 2), 0.123456);
}

// Fields as the networks' files hold them: the double is the number as written.
TEST(TypedDecimal, GivesTheNumberAsWrittenInTheField) {
    struct Case {
        std::string_view field;
        int decimals;
        double typed;
    };
    const Case cases[] =
        {
            {"    210.71", 2, 210.71},        {"   0.15000", 5, 0.15},
            {"     -0.0833", 4, -0.0833},     {"   54.5553", 4, 54.5553},
            {" 0.0000010", 7, 1e-6},          {"    130.0000000", 7, 130.0},
            {"    97900.", 0, 97900.0},       {"     12345", 2, 123.45},
            {"  1.5e-4", 2, 1.5e-4},          {"   -7.44", 2, -7.44},
            {"  123456789.", 0, 123456792.0}, // past 2^24: the float's whole value
        };
    for (const Case& c : cases) {
        float value = 0.0f;
        ASSERT_TRUE(read_real_field(c.field, c.decimals, value)) << c.field;
        EXPECT_EQ(typed_decimal(value), c.typed) << c.field;
    }
}

} // namespace
} // namespace pipenet
