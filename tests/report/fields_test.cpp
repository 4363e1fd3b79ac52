// Conversion of single Iw and Fw.d fields, on input and on output.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "report/fields.hpp"

namespace pipenet {
namespace {

// ---- Iw on input -------------------------------------------------------------------------

struct IntegerInput {
    std::string_view field;
    bool valid;
    std::int32_t value;
};

std::ostream& operator<<(std::ostream& os, const IntegerInput& c) {
    return os << '"' << c.field << '"';
}

class IntegerInputTest : public ::testing::TestWithParam<IntegerInput> {};

TEST_P(IntegerInputTest, ReadsOrRefuses) {
    const IntegerInput& c = GetParam();
    std::int32_t value = -777;
    ASSERT_EQ(read_integer_field(c.field, value), c.valid);
    if (c.valid) {
        EXPECT_EQ(value, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, IntegerInputTest,
    ::testing::Values(
        // Blanks are dropped wherever they stand; nothing at all reads as zero.
        IntegerInput{"  1 2", true, 12}, IntegerInput{"          ", true, 0},
        IntegerInput{"", true, 0}, IntegerInput{"        42", true, 42},
        IntegerInput{"42        ", true, 42}, IntegerInput{"-", true, 0},
        IntegerInput{"+", true, 0},
        // Signs.
        IntegerInput{"-17", true, -17}, IntegerInput{"+17", true, 17},
        IntegerInput{"   -  4", true, -4}, IntegerInput{"0000000000000000000042", true, 42},
        // Anything else is refused: letters, points, TABs, misplaced or doubled signs.
        IntegerInput{"12a", false, 0}, IntegerInput{"1.0", false, 0}, IntegerInput{"12.", false, 0},
        IntegerInput{"\t5", false, 0}, IntegerInput{"5\t", false, 0}, IntegerInput{"1-", false, 0},
        IntegerInput{"--1", false, 0}, IntegerInput{"+-1", false, 0}, IntegerInput{"1E2", false, 0},
        // The 32-bit range, at and one beyond either end.
        IntegerInput{"2147483647", true, 2147483647},
        IntegerInput{"-2147483648", true, std::numeric_limits<std::int32_t>::min()},
        IntegerInput{"2147483648", false, 0}, IntegerInput{"-2147483649", false, 0},
        IntegerInput{"99999999999999999999", false, 0}));

// ---- Fw.d on input -----------------------------------------------------------------------

struct RealInput {
    std::string_view field;
    int decimals;
    bool valid;
    float value;
};

std::ostream& operator<<(std::ostream& os, const RealInput& c) {
    return os << '"' << c.field << "\" d=" << c.decimals;
}

class RealInputTest : public ::testing::TestWithParam<RealInput> {};

TEST_P(RealInputTest, ReadsOrRefuses) {
    const RealInput& c = GetParam();
    float value = -777.0f;
    ASSERT_EQ(read_real_field(c.field, c.decimals, value), c.valid);
    if (!c.valid) return;
    // Bit-exact: the nearest float, with the sign of a zero kept.
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(std::signbit(value), std::signbit(c.value));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RealInputTest,
    ::testing::Values(
        // Implied decimals apply only when the field has no point.
        RealInput{"      1234", 2, true, 12.34f}, RealInput{"     1234.", 2, true, 1234.0f},
        RealInput{"      12.5", 2, true, 12.5f}, RealInput{"       250", 2, true, 2.5f},
        RealInput{"      9810", 0, true, 9810.0f}, RealInput{"         1", 7, true, 1.0e-7f},
        RealInput{"1", 7, true, 1.0e-7f}, RealInput{"  .5", 3, true, 0.5f},
        // Exponents: E or D in either case, or a sign straight after the mantissa.
        RealInput{"1.5E2", 2, true, 150.0f}, RealInput{"1.5D2", 2, true, 150.0f},
        RealInput{"1.5e+2", 2, true, 150.0f}, RealInput{"1.5d-2", 2, true, 0.015f},
        RealInput{"1.5+2", 2, true, 150.0f}, RealInput{"1.5-2", 2, true, 0.015f},
        RealInput{"15E1", 2, true, 1.5f}, RealInput{"1 . 5 E 2", 2, true, 150.0f},
        // Signs and blanks; blank, empty and sign-only fields read as zero.
        RealInput{"-2.5", 1, true, -2.5f}, RealInput{"+2.5", 1, true, 2.5f},
        RealInput{"- 2 . 5", 1, true, -2.5f}, RealInput{"          ", 2, true, 0.0f},
        RealInput{"", 4, true, 0.0f}, RealInput{"+", 2, true, 0.0f},
        RealInput{"0E99", 2, true, 0.0f}, RealInput{"-0.0", 2, true, -0.0f},
        // Invalid characters or shapes.
        RealInput{"12a", 2, false, 0.0f}, RealInput{"1.2.3", 2, false, 0.0f},
        RealInput{"\t1.5", 2, false, 0.0f}, RealInput{"1.5\t", 2, false, 0.0f},
        RealInput{"1E5E2", 2, false, 0.0f}, RealInput{"1E+-2", 2, false, 0.0f},
        RealInput{"+-1", 2, false, 0.0f}, RealInput{"1,5", 2, false, 0.0f},
        // The float range: too large is invalid, too small is a signed zero. Without a point
        // the implied decimals scale the exponent too: 1E39 in an F10.2 field is 1.0e37.
        RealInput{"3.4E38", 2, true, 3.4e38f}, RealInput{"1E39", 0, false, 0.0f},
        RealInput{"1.E39", 2, false, 0.0f}, RealInput{"-1.0E39", 2, false, 0.0f},
        RealInput{"1E39", 2, true, 1.0e37f}, RealInput{"3.5E38", 2, false, 0.0f},
        RealInput{"1E1000000000", 2, false, 0.0f}, RealInput{"1E-50", 2, true, 0.0f},
        RealInput{"-1E-50", 2, true, -0.0f}, RealInput{"1E-1000000000", 2, true, 0.0f},
        RealInput{"1.0E-45", 2, true, std::numeric_limits<float>::denorm_min()},
        RealInput{"1E-45", 2, true, 0.0f},
        // Long mantissas.
        RealInput{"123456789012", 0, true, 123456789012.0f},
        // Thirty zeros after the point, then the digits.
        RealInput{"0."
                  "000000000000000000000000000000"
                  "12345",
                  2, true, 1.2345e-31f}));

// Decimal texts that lie a hair beside a point halfway between two floats. Converting through
// double first would land exactly on the halfway point and then round to the even neighbour,
// the wrong way; the field must give the float nearest the decimal value itself.
struct NearHalfway {
    std::string_view field;
    int decimals;
    float nearest;
};

// The field's text where a test lists its parameter, not the struct's bytes.
void PrintTo(const NearHalfway& c, std::ostream* out) {
    *out << '"' << c.field << "\" with " << c.decimals << " decimals";
}

std::string near_halfway_name(const ::testing::TestParamInfo<NearHalfway>& info) {
    const std::array<const char*, 4> names{"just_above_an_odd_halfway", "implied_decimals",
                                           "negative", "just_below_an_even_halfway"};
    return names.at(info.index);
}

class NearHalfwayTest : public ::testing::TestWithParam<NearHalfway> {};

TEST_P(NearHalfwayTest, RoundsOnceToTheNearestFloat) {
    const NearHalfway& c = GetParam();
    float value = 0.0f;
    ASSERT_TRUE(read_real_field(c.field, c.decimals, value));
    EXPECT_EQ(value, c.nearest);

    // The case is only a test of direct conversion if the double route goes wrong.
    std::string text(c.field);
    if (c.decimals > 0 && text.find('.') == std::string::npos)
        text += "e-" + std::to_string(c.decimals);
    float through_double = static_cast<float>(std::strtod(text.c_str(), nullptr));
    EXPECT_NE(through_double, c.nearest) << "double rounding happens to be right for " << text;
}

// 1 + 2^-24 = 1.000000059604644775390625 is halfway between 1 and 1 + 2^-23 (an odd last
// bit); 1 + 3 * 2^-24 = 1.000000178813934326171875 is halfway between 1 + 2^-23 and
// 1 + 2^-22 (an even last bit).
INSTANTIATE_TEST_SUITE_P(
    Fields, NearHalfwayTest,
    ::testing::Values(NearHalfway{"1.0000000596046447753906250001", 2, 1.00000011920928955078125f},
                      NearHalfway{"10000000596046447753906250001", 28, 1.00000011920928955078125f},
                      NearHalfway{"-1.0000000596046447753906250001", 2,
                                  -1.00000011920928955078125f},
                      NearHalfway{"1.0000001788139343261718749999", 2, 1.00000011920928955078125f}),
    near_halfway_name);

TEST(RealInputTies, ExactHalfwayTextsRoundToEven) {
    float value = 0.0f;
    ASSERT_TRUE(read_real_field("1.000000059604644775390625", 0, value));
    EXPECT_EQ(value, 1.0f);
    ASSERT_TRUE(read_real_field("1.000000178813934326171875", 0, value));
    EXPECT_EQ(value, 1.000000238418579101562500f);
}

// ---- Iw on output ------------------------------------------------------------------------

struct IntegerOutput {
    int width;
    std::int32_t value;
    std::string_view text;
};

std::ostream& operator<<(std::ostream& os, const IntegerOutput& c) {
    return os << 'I' << c.width << ' ' << c.value;
}

class IntegerOutputTest : public ::testing::TestWithParam<IntegerOutput> {};

TEST_P(IntegerOutputTest, FillsTheFieldExactly) {
    const IntegerOutput& c = GetParam();
    std::string out(static_cast<std::size_t>(c.width) + 2, '#');
    bool fits = write_integer_field(out.data(), c.width, c.value);
    EXPECT_EQ(out.substr(0, static_cast<std::size_t>(c.width)), c.text);
    EXPECT_EQ(out.substr(static_cast<std::size_t>(c.width)), "##") << "wrote past the field";
    EXPECT_EQ(fits, c.text.find('*') == std::string_view::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, IntegerOutputTest,
    ::testing::Values(IntegerOutput{5, 0, "    0"}, IntegerOutput{5, 12, "   12"},
                      IntegerOutput{5, -3, "   -3"}, IntegerOutput{5, 99999, "99999"},
                      IntegerOutput{5, -9999, "-9999"}, IntegerOutput{5, 100000, "*****"},
                      IntegerOutput{5, 123456, "*****"}, IntegerOutput{5, -10000, "*****"},
                      IntegerOutput{1, 7, "7"}, IntegerOutput{1, -1, "*"},
                      IntegerOutput{11, std::numeric_limits<std::int32_t>::min(), "-2147483648"},
                      IntegerOutput{10, std::numeric_limits<std::int32_t>::min(), "**********"},
                      IntegerOutput{10, 2147483647, "2147483647"}));

// ---- Fw.d on output ----------------------------------------------------------------------

struct RealOutput {
    int width;
    int decimals;
    float value;
    std::string_view text;
};

std::ostream& operator<<(std::ostream& os, const RealOutput& c) {
    return os << 'F' << c.width << '.' << c.decimals << ' ' << c.value;
}

class RealOutputTest : public ::testing::TestWithParam<RealOutput> {};

TEST_P(RealOutputTest, FillsTheFieldExactly) {
    const RealOutput& c = GetParam();
    std::string out(static_cast<std::size_t>(c.width) + 2, '#');
    bool fits = write_real_field(out.data(), c.width, c.decimals, c.value);
    EXPECT_EQ(out.substr(0, static_cast<std::size_t>(c.width)), c.text);
    EXPECT_EQ(out.substr(static_cast<std::size_t>(c.width)), "##") << "wrote past the field";
    EXPECT_EQ(fits, c.text.find('*') == std::string_view::npos);
}

constexpr float infinity = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Fields, RealOutputTest,
    ::testing::Values(
        RealOutput{15, 4, -2.5f, "        -2.5000"}, RealOutput{10, 2, 0.5f, "      0.50"},
        RealOutput{10, 2, 0.0f, "      0.00"}, RealOutput{18, 5, 0.3f, "           0.30000"},
        RealOutput{10, 7, 1.0e-7f, " 0.0000001"}, RealOutput{15, 2, 9810.0f, "        9810.00"},
        // Exact ties go to the even digit; a float just below a decimal tie rounds down
        // (2.675f is 2.67499995...).
        RealOutput{10, 2, 0.125f, "      0.12"}, RealOutput{10, 2, 0.375f, "      0.38"},
        RealOutput{10, 2, -0.125f, "     -0.12"}, RealOutput{10, 3, 0.0625f, "     0.062"},
        RealOutput{10, 2, 2.675f, "      2.67"},
        // A negative value rounding to zero, and a negative zero, keep the minus sign; 5e-5f
        // is 4.99999987e-5, just below the decimal tie.
        RealOutput{15, 4, -0.00001f, "        -0.0000"},
        RealOutput{15, 4, -0.0f, "        -0.0000"},
        RealOutput{15, 4, -0.00005f, "        -0.0000"},
        RealOutput{15, 4, -0.00006f, "        -0.0001"},
        RealOutput{15, 6, -0.0000005f, "      -0.000000"}, RealOutput{4, 1, -0.04f, "-0.0"},
        RealOutput{3, 1, -0.04f, "***"},
        // Exactly filling the width, and one column too many.
        RealOutput{10, 2, 1234567.0f, "1234567.00"}, RealOutput{10, 2, -123456.0f, "-123456.00"},
        RealOutput{10, 2, 12345678.0f, "**********"}, RealOutput{10, 2, -1234567.0f, "**********"},
        RealOutput{15, 4, 1.0e9f, "1000000000.0000"}, RealOutput{15, 4, 1.0e10f, "***************"},
        RealOutput{15, 2, std::numeric_limits<float>::max(), "***************"},
        // Not a number, and the infinities, right-justified.
        RealOutput{15, 4, std::numeric_limits<float>::quiet_NaN(), "            NaN"},
        RealOutput{15, 4, infinity, "       Infinity"},
        RealOutput{15, 4, -infinity, "      -Infinity"},
        RealOutput{15, 6, infinity, "       Infinity"}));

} // namespace
} // namespace pipenet
