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
