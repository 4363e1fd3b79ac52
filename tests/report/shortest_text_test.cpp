#include "report/shortest_text.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace pipenet {
namespace {

template <typename Real>
std::string library_text(Real value) {
    char text[64];
    return {text, std::to_chars(text, text + sizeof text, value).ptr};
}

template <typename Real>
std::string our_text(Real value) {
    char text[64];
    char* end = shortest_text(text, text + sizeof text, value);
    return end == nullptr ? std::string("(nothing)")
                          : std::string(text, static_cast<std::size_t>(end - text));
}

// The values every group below is checked on, both signs of each.
template <typename Real>
void expect_same_text(const std::vector<Real>& values, const char* group) {
    std::size_t differing = 0;
    for (Real v : values)
        for (Real value : {v, -v}) {
            const std::string expected = library_text(value);
            const std::string got = our_text(value);
            if (got != expected && ++differing <= 10)
                ADD_FAILURE() << group << ": " << expected << " written as " << got;
        }
    EXPECT_EQ(differing, 0u) << group;
}

template <typename Real, typename Bits>
std::vector<Real> random_bit_patterns(std::size_t count, std::uint32_t seed) {
    std::mt19937_64 random(seed);
    std::vector<Real> values;
    while (values.size() < count) {
        const auto value = std::bit_cast<Real>(static_cast<Bits>(random()));
        if (std::isfinite(value)) values.push_back(value);
    }
    return values;
}

// Values of the sizes networks hold, spread over magnitudes: coordinates, heads, diameters,
// discharges, and the results computed from them.
template <typename Real>
std::vector<Real> network_sized(std::size_t count, std::uint32_t seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> exponent(-7.0, 17.0);
    std::vector<Real> values;
    for (std::size_t i = 0; i < count; ++i)
        values.push_back(static_cast<Real>(std::pow(10.0, exponent(random))));
    return values;
}

// Decimals as typed: few digits, read as the nearest value.
template <typename Real>
std::vector<Real> typed_decimals() {
    std::vector<Real> values;
    for (int digits = 0; digits < 100000; digits += 7)
        for (int point = 0; point <= 9; ++point) {
            const std::string text = std::to_string(digits) + "e-" + std::to_string(point);
            Real value{};
            std::from_chars(text.data(), text.data() + text.size(), value);
            values.push_back(value);
        }
    return values;
}

// Decimals of 1 to 17 digits at every power of ten in range and each side of them: those of
// few digits are written from the value scaled by a power of ten, within a range of magnitudes.
template <typename Real>
std::vector<Real> short_decimals() {
    std::vector<Real> values;
    const int lowest = std::numeric_limits<Real>::min_exponent10 - 1;
    const int highest = std::numeric_limits<Real>::max_exponent10;
    for (const char* digits :
         {"1", "5", "12", "125", "9999", "10001", "1234567", "99999999", "123456789", "999999999",
          "1000000001", "123456789012", "999999999999999", "1234567890123456", "12345678901234567"})
        for (int p = lowest; p <= highest; ++p) {
            const std::string text = std::string(digits) + "e" + std::to_string(p);
            Real value{};
            if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc{})
                continue;
            values.push_back(value);
            values.push_back(std::nextafter(value, Real{0}));
            values.push_back(std::nextafter(value, std::numeric_limits<Real>::infinity()));
        }
    return values;
}

// Integers: every one up to 10^5, and random ones of every bit length up to 2^64, where the
// library writes a large value's exact digits.
template <typename Real>
std::vector<Real> integers() {
    std::vector<Real> values;
    for (int i = 0; i <= 100000; ++i) values.push_back(static_cast<Real>(i));
    std::mt19937_64 random(8);
    for (int bits = 1; bits <= 64; ++bits)
        for (int i = 0; i < 200; ++i) values.push_back(static_cast<Real>(random() >> (64 - bits)));
    return values;
}

// Each side of every power of ten and of two in range, and the powers themselves.
template <typename Real>
std::vector<Real> near_powers() {
    std::vector<Real> values;
    const int lowest = std::numeric_limits<Real>::min_exponent10;
    const int highest = std::numeric_limits<Real>::max_exponent10;
    for (int p = lowest; p <= highest; ++p) {
        const std::string text = "1e" + std::to_string(p);
        Real power{};
        std::from_chars(text.data(), text.data() + text.size(), power);
        Real below = power, above = power;
        for (int step = 0; step < 4; ++step) {
            values.push_back(below);
            values.push_back(above);
            below = std::nextafter(below, Real{0});
            above = std::nextafter(above, std::numeric_limits<Real>::infinity());
        }
    }
    for (int p = std::numeric_limits<Real>::min_exponent - 1;
         p < std::numeric_limits<Real>::max_exponent; ++p) {
        const Real power = std::ldexp(Real{1}, p);
        values.push_back(power);
        values.push_back(std::nextafter(power, Real{0}));
        values.push_back(std::nextafter(power, std::numeric_limits<Real>::infinity()));
    }
    return values;
}

// The smallest and the largest significands below the normal range, where the value has few
// significant bits and one digit may tell it apart.
template <typename Real, typename Bits>
std::vector<Real> subnormals() {
    constexpr Bits normal_bit = Bits{1} << (std::numeric_limits<Real>::digits - 1);
    std::vector<Real> values;
    for (Bits c = 1; c < 3000; ++c) {
        values.push_back(std::bit_cast<Real>(c));
        values.push_back(std::bit_cast<Real>(static_cast<Bits>(normal_bit - c)));
    }
    return values;
}

TEST(ShortestText, WritesWhatTheLibraryWritesForEveryKindOfValue) {
    expect_same_text(random_bit_patterns<double, std::uint64_t>(300000, 1), "double bits");
    expect_same_text(random_bit_patterns<float, std::uint32_t>(300000, 2), "float bits");
    expect_same_text(network_sized<double>(300000, 3), "double magnitudes");
    expect_same_text(network_sized<float>(300000, 4), "float magnitudes");
    expect_same_text(typed_decimals<double>(), "double decimals");
    expect_same_text(typed_decimals<float>(), "float decimals");
    expect_same_text(short_decimals<double>(), "double short decimals");
    expect_same_text(short_decimals<float>(), "float short decimals");
    expect_same_text(integers<double>(), "double integers");
    expect_same_text(integers<float>(), "float integers");
    expect_same_text(near_powers<double>(), "double powers");
    expect_same_text(near_powers<float>(), "float powers");
    expect_same_text(subnormals<double, std::uint64_t>(), "double subnormals");
    expect_same_text(subnormals<float, std::uint32_t>(), "float subnormals");
    // Integers, halves and quotients such as a network's results are made of.
    std::vector<double> computed;
    for (int a = 1; a < 400; ++a)
        for (int b = 1; b < 60; ++b) computed.push_back(static_cast<double>(a) / b);
    for (double v : {0.0, 0.5, 1.0, 10.0, 100.0, 1e15, 1e16, 1e17, 123456789012345.0,
                     9007199254740991.0, 9007199254740992.0, 4503599627370497.5})
        computed.push_back(v);
    expect_same_text(computed, "double quotients");
    std::vector<float> computed_floats(computed.begin(), computed.end());
    expect_same_text(computed_floats, "float quotients");
    expect_same_text(std::vector<double>{std::numeric_limits<double>::denorm_min(),
                                         std::numeric_limits<double>::max(),
                                         std::numeric_limits<double>::infinity(),
                                         std::numeric_limits<double>::quiet_NaN()},
                     "double extremes");
}

TEST(ShortestText, NeedsNoMoreThanThirtyTwoBytesAndRefusesAShortBuffer) {
    char text[32];
    for (double value : {-1.2345678901234567e-300, -2.2250738585072014e-308, 0.1 + 0.2})
        EXPECT_NE(shortest_text(text, text + sizeof text, value), nullptr) << value;
    EXPECT_EQ(shortest_text(text, text + 3, 0.123), nullptr);
    EXPECT_EQ(shortest_text(text, text + 3, 1234.5f), nullptr);
    char* end = shortest_text(text, text + 4, 12.5);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(std::string(text, end), "12.5");
}

// The double of a float's shortest text: what reading that text as a double gives.
TEST(ShortestText, FloatDecimalIsTheDoubleOfTheFloatsShortestText) {
    std::vector<float> values = random_bit_patterns<float, std::uint32_t>(200000, 5);
    for (float v : network_sized<float>(200000, 6)) values.push_back(v);
    for (float v : typed_decimals<float>()) values.push_back(v);
    for (float v : near_powers<float>()) values.push_back(v);
    for (float v : subnormals<float, std::uint32_t>()) values.push_back(v);
    std::size_t differing = 0;
    for (float v : values)
        for (float value : {v, -v}) {
            const std::string text = library_text(value);
            double expected = 0.0;
            std::from_chars(text.data(), text.data() + text.size(), expected);
            const double got = float_decimal(value);
            if (std::bit_cast<std::uint64_t>(got) != std::bit_cast<std::uint64_t>(expected) &&
                ++differing <= 10)
                ADD_FAILURE() << text << " gave " << got;
        }
    EXPECT_EQ(differing, 0u);
    EXPECT_EQ(float_decimal(0.3f), 0.3);
    EXPECT_EQ(float_decimal(-210.71f), -210.71);
    EXPECT_EQ(float_decimal(130.0f), 130.0);
}

} // namespace
} // namespace pipenet
