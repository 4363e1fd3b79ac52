// The shortcut conversions of report/fields.cpp (Fw.d both ways, Iw output) against the general
// conversions of the standard library, over many random values: Fw.d output against std::to_chars
// in fixed notation, Fw.d input against std::from_chars on the same decimal number written out.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "report/fields.hpp"

namespace {

using pipenet::read_real_field;
using pipenet::write_real_field;

// The field as std::to_chars writes the value: right-justified, asterisks when too wide.
std::string reference_field(int width, int decimals, float value) {
    std::array<char, 128> text{};
    auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                std::chars_format::fixed, decimals);
    auto length = static_cast<int>(result.ptr - text.data());
    if (result.ec != std::errc{} || length > width) return std::string(width, '*');
    return std::string(width - length, ' ') + std::string(text.data(), length);
}

std::string written_field(int width, int decimals, float value) {
    std::string out(width, '?');
    bool fits = write_real_field(out.data(), width, decimals, value);
    EXPECT_EQ(fits, out.find('*') == std::string::npos) << out;
    return out;
}

// Every width and decimal count the report layouts use, and the neighbours of each.
constexpr std::array<int, 6> widths{4, 10, 12, 15, 18, 30};

void expect_all_layouts(float value) {
    for (int width : widths)
        for (int decimals = 0; decimals <= 8; ++decimals)
            ASSERT_EQ(written_field(width, decimals, value),
                      reference_field(width, decimals, value))
                << "value " << value << " bits " << std::bit_cast<std::uint32_t>(value) << " F"
                << width << "." << decimals;
}

TEST(FastRealOutput, MatchesStandardFixedConversionOnRandomBitPatterns) {
    std::mt19937 random(12345);
    for (int i = 0; i < 20000; ++i) {
        float value = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        if (!std::isfinite(value)) continue;
        expect_all_layouts(value);
    }
}

TEST(FastRealOutput, MatchesStandardFixedConversionOnReportSizedValues) {
    // Heads, discharges and coordinates: magnitudes from 1e-9 to 1e9, either sign.
    std::mt19937 random(678);
    std::uniform_real_distribution<double> exponent(-9.0, 9.0);
    for (int i = 0; i < 20000; ++i) {
        auto value = static_cast<float>(std::pow(10.0, exponent(random)));
        expect_all_layouts(random() % 2 != 0 ? -value : value);
    }
}

TEST(FastRealOutput, ExactTiesRoundToEven) {
    // (2q + 1) * 5^d / 2^(d+1) has exactly d + 1 decimals ending in 5: an exact tie at d, and an
    // exact float while (2q + 1) * 5^d < 2^24.
    for (int decimals = 1; decimals <= 7; ++decimals) {
        double five_power = std::pow(5.0, decimals);
        double two_power = std::pow(2.0, decimals + 1);
        int ties = 0;
        for (int q = 0; (2 * q + 1) * five_power < 16777216.0 && q < 300; ++q, ++ties) {
            auto value = static_cast<float>((2 * q + 1) * five_power / two_power);
            double scaled = double{value} * std::pow(10.0, decimals);
            ASSERT_EQ(scaled - std::floor(scaled), 0.5) << value;
            expect_all_layouts(value);
            expect_all_layouts(-value);
        }
        EXPECT_GT(ties, 50);
    }
    // Spot checks worked out by hand: 0.125 to two decimals is 0.12, 0.375 is 0.38.
    EXPECT_EQ(written_field(6, 2, 0.125f), "  0.12");
    EXPECT_EQ(written_field(6, 2, 0.375f), "  0.38");
    EXPECT_EQ(written_field(6, 2, -0.625f), " -0.62");
}

TEST(FastRealOutput, NegativeValuesRoundingToZeroKeepTheirSign) {
    for (float value : {-0.0f, -0.00004f, -1.0e-30f, -std::numeric_limits<float>::denorm_min()}) {
        expect_all_layouts(value);
        EXPECT_EQ(written_field(8, 4, value), " -0.0000");
    }
    EXPECT_EQ(written_field(8, 4, 0.0f), "  0.0000");
}

TEST(FastRealOutput, SpecialValuesAndOverflow) {
    for (float value :
         {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
          std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::max(),
          -std::numeric_limits<float>::max(), 1.0e18f, 9.99999e17f})
        for (int decimals = 1; decimals <= 7; ++decimals)
            EXPECT_EQ(written_field(60, decimals, value).find_first_not_of(' ') ==
                          std::string::npos,
                      false);
    EXPECT_EQ(written_field(10, 4, std::numeric_limits<float>::infinity()), "  Infinity");
    EXPECT_EQ(written_field(5, 2, 123.456f), "*****");
    EXPECT_EQ(written_field(6, 2, 123.456f), "123.46");
}

TEST(FastIntegerOutput, MatchesStandardConversion) {
    std::mt19937 random(99);
    auto check = [](std::int32_t value) {
        std::array<char, 16> text{};
        auto length = static_cast<int>(
            std::to_chars(text.data(), text.data() + text.size(), value).ptr - text.data());
        for (int width : {1, 5, 10, 11, 12, 20}) {
            std::string expected = length > width ? std::string(width, '*')
                                                  : std::string(width - length, ' ') +
                                                        std::string(text.data(), length);
            std::string out(width, '?');
            bool fits = pipenet::write_integer_field(out.data(), width, value);
            ASSERT_EQ(out, expected) << value << " I" << width;
            ASSERT_EQ(fits, length <= width);
        }
    };
    for (std::int32_t value :
         {0, 1, -1, 9, -9, 10, 99999, -99999, 100000, std::numeric_limits<std::int32_t>::max(),
          std::numeric_limits<std::int32_t>::min()})
        check(value);
    for (int i = 0; i < 20000; ++i) {
        auto value = static_cast<std::int32_t>(random());
        check(value >> (random() % 32)); // small and large magnitudes alike
    }
}

// The reference reading: the field's number written out with its decimal point and exponent,
// converted by std::from_chars straight to float.
float reference_value(const std::string& number) {
    float value = 0.0f;
    auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    EXPECT_EQ(result.ptr, number.data() + number.size()) << number;
    return value;
}

TEST(FastRealInput, MatchesStandardConversionOnRandomFields) {
    std::mt19937 random(4242);
    for (int i = 0; i < 200000; ++i) {
        int length = 1 + static_cast<int>(random() % 10);
        std::string digits;
        for (int k = 0; k < length; ++k) digits += static_cast<char>('0' + random() % 10);
        if (random() % 4 == 0) digits += "000"; // trailing zeros
        int decimals = static_cast<int>(random() % 8);
        bool negative = random() % 2 != 0;
        int exponent = random() % 3 == 0 ? static_cast<int>(random() % 25) - 12 : 0;
        bool with_point = random() % 2 != 0;
        int point = with_point ? static_cast<int>(random() % (digits.size() + 1)) : 0;

        // The field as a record holds it, and the number it stands for.
        std::string field = negative ? "-" : "";
        std::string number = field;
        if (with_point) {
            field += digits.substr(0, point) + "." + digits.substr(point);
            number += digits.substr(0, point) + "." + digits.substr(point);
        } else {
            field += digits;
            std::string padded = std::string(decimals, '0') + digits; // implied decimals
            number += padded.substr(0, padded.size() - decimals) + "." +
                      padded.substr(padded.size() - decimals);
        }
        if (exponent != 0) {
            std::string exponent_text = std::to_string(exponent);
            field += 'E';
            field += exponent_text;
            number += 'e';
            number += exponent_text;
        }
        float value = -1.0f;
        ASSERT_TRUE(read_real_field(field, decimals, value)) << field;
        float expected = reference_value(number);
        ASSERT_EQ(std::bit_cast<std::uint32_t>(value), std::bit_cast<std::uint32_t>(expected))
            << "field '" << field << "' decimals " << decimals << ": " << value << " vs "
            << expected;
    }
}

TEST(FastRealInput, HandWorkedFields) {
    struct Case {
        const char* field;
        int decimals;
        float expected;
    };
    const Case cases[] = {
        {"    183.37", 2, 183.37f},  {"      1234", 2, 12.34f},  {"     1234.", 2, 1234.0f},
        {"  0.25000 ", 5, 0.25f},    {"   9810000", 0, 9.81e6f}, {"1", 7, 1.0e-7f},
        {"  -12.5E-3", 2, -0.0125f}, {"  0.1", 1, 0.1f},         {"16777217", 0, 16777216.0f},
    };
    for (const Case& c : cases) {
        float value = 0.0f;
        ASSERT_TRUE(read_real_field(c.field, c.decimals, value)) << c.field;
        EXPECT_EQ(value, c.expected) << c.field;
    }
}

// The padded real reader against the plain one on the edges of the right-justified shape it
// reads in one pass (a sign or a point at either end, seven and eight digits, zeros) and on the
// shapes next to it that it must leave to the general reading, at several implied decimals, with
// digits in the storage after the field.
TEST(PaddedFieldInput, RightJustifiedRealsAndTheirNeighboursAgreeWithThePlainReader) {
    const char* const fields[] = {"    210.71",
                                  "   -7.4400",
                                  "       -.5",
                                  "       +.5",
                                  "        5.",
                                  "       -5.",
                                  "    -0.000",
                                  "        +0",
                                  "   1234567",
                                  "  12345678",
                                  "  1.234567",
                                  " 1.2345678",
                                  " -1234.567",
                                  "0000001.50",
                                  "   12 3.40",
                                  "         -",
                                  "         .",
                                  "        +.",
                                  "     1.2.3",
                                  "       --5",
                                  "        5-",
                                  "     5    ",
                                  "    1e3   ",
                                  "   -1E-2  ",
                                  "  +-1.5   ",
                                  "9999999.  ",
                                  "  9999999.",
                                  "   .0000001",
                                  "     -0.0500",
                                  "   0.15000",
                                  "   -.12345",
                                  "  1234.567",
                                  "  123456.7",
                                  " 12345.678",
                                  "    -0.00",
                                  "  - 12.50",
                                  "  -+12.50",
                                  " 1 2345.67",
                                  "  12.3 4567",
                                  "   12.34\xb5",
                                  "\xb9\xb9\xb9\xb9\xb9.12",
                                  "  :;<=>?.12",
                                  "  /012.34",
                                  "        9.87654321",
                                  "-0000012.34"};
    std::array<char, 64> storage{};
    for (const char* text : fields) {
        const std::string field_text(text);
        storage.fill('7');
        std::copy(field_text.begin(), field_text.end(), storage.begin());
        const std::string_view field(storage.data(), field_text.size());
        for (const int decimals : {0, 1, 2, 3, 4, 5, 7, 12}) {
            float plain = -3.0f;
            float padded = -3.0f;
            const bool plain_ok = read_real_field(field, decimals, plain);
            ASSERT_EQ(pipenet::read_real_field_padded(field, decimals, padded), plain_ok)
                << "'" << text << "' decimals " << decimals;
            if (plain_ok) {
                EXPECT_EQ(std::bit_cast<std::uint32_t>(padded), std::bit_cast<std::uint32_t>(plain))
                    << "'" << text << "' decimals " << decimals;
            }
        }
    }
    // Hand-worked: the implied point, a point typed, and a negative zero.
    struct Case {
        const char* field;
        int decimals;
        float expected;
    };
    const Case cases[] = {{"     21071", 2, 210.71f},  {"   -7.4400", 2, -7.44f},
                          {"       -.5", 4, -0.5f},    {"   1234567", 7, 0.1234567f},
                          {"     -0.0500", 4, -0.05f}, {"   0.15000", 5, 0.15f},
                          {"  +654.321", 3, 654.321f}};
    for (const Case& c : cases) {
        const std::string field_text(c.field);
        storage.fill(' ');
        std::copy(field_text.begin(), field_text.end(), storage.begin());
        float value = 0.0f;
        ASSERT_TRUE(pipenet::read_real_field_padded(
            std::string_view(storage.data(), field_text.size()), c.decimals, value))
            << c.field;
        EXPECT_EQ(value, c.expected) << c.field;
    }
    const std::string negative_zero = "  -0.00000";
    storage.fill(' ');
    std::copy(negative_zero.begin(), negative_zero.end(), storage.begin());
    float zero = 1.0f;
    ASSERT_TRUE(pipenet::read_real_field_padded(
        std::string_view(storage.data(), negative_zero.size()), 2, zero));
    EXPECT_EQ(zero, 0.0f);
    EXPECT_TRUE(std::signbit(zero));
}

// The padded readers against the plain ones on random fields of every shape, from the common
// blanks-sign-digits-point to stray characters, commas, exponents and blanks between digits, each
// placed in storage whose bytes after the field hold more field-like characters.
TEST(PaddedFieldInput, AgreesWithThePlainReaders) {
    std::mt19937 random(31337);
    const std::string alphabet = "          0123456789012345678901234567890123456789..--++eED,x";
    std::array<char, 64> storage{};
    for (int i = 0; i < 300000; ++i) {
        const auto length = static_cast<std::size_t>(random() % 19);
        for (char& c : storage) c = alphabet[random() % alphabet.size()];
        if (random() % 2 == 0) {
            // Mostly the shapes records hold: right-justified, a sign, digits, a point.
            std::string shaped =
                std::to_string(static_cast<std::int32_t>(random()) >> (random() % 32));
            if (random() % 2 == 0 && shaped.size() > 1)
                shaped.insert(shaped.size() - random() % (shaped.size() - 1), ".");
            if (shaped.size() <= length) {
                std::fill_n(storage.begin(), length, ' ');
                std::copy(shaped.begin(), shaped.end(),
                          storage.begin() + static_cast<std::ptrdiff_t>(length - shaped.size()));
            }
        }
        const std::string_view field(storage.data(), length);
        std::int32_t plain_integer = -7;
        std::int32_t padded_integer = -7;
        const bool plain_integer_ok = pipenet::read_integer_field(field, plain_integer);
        ASSERT_EQ(pipenet::read_integer_field_padded(field, padded_integer), plain_integer_ok)
            << "'" << field << "'";
        if (plain_integer_ok) {
            ASSERT_EQ(padded_integer, plain_integer) << "'" << field << "'";
        }
        const int decimals = static_cast<int>(random() % 9);
        float plain_real = -7.0f;
        float padded_real = -7.0f;
        const bool plain_real_ok = read_real_field(field, decimals, plain_real);
        ASSERT_EQ(pipenet::read_real_field_padded(field, decimals, padded_real), plain_real_ok)
            << "'" << field << "'";
        if (plain_real_ok) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(padded_real),
                      std::bit_cast<std::uint32_t>(plain_real))
                << "'" << field << "' decimals " << decimals;
        }
    }
    // An empty field (a record that ends before it) reads zero both ways.
    std::int32_t integer = -1;
    float real = -1.0f;
    ASSERT_TRUE(pipenet::read_integer_field_padded({}, integer));
    ASSERT_TRUE(pipenet::read_real_field_padded({}, 2, real));
    EXPECT_EQ(integer, 0);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(real), 0u);
}

} // namespace
