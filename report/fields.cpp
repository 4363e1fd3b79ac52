#include "report/fields.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace pipenet {

namespace {

constexpr bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Blanks inside a numeric field are dropped: the digits on both sides run together.
constexpr bool is_blank(char c) {
    return c == ' ';
}

// 10^0 ... 10^10, every one exactly representable as a float (5^10 < 2^24).
constexpr std::array<float, 11> exact_float_powers_of_ten{1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                          1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

} // namespace

bool read_integer_field(std::string_view field, std::int32_t& value) {
    std::int64_t magnitude = 0;
    bool negative = false;
    bool sign_allowed = true;
    for (char c : field) {
        if (is_blank(c)) continue;
        if ((c == '+' || c == '-') && sign_allowed) {
            negative = c == '-';
            sign_allowed = false;
            continue;
        }
        if (!is_digit(c)) return false;
        sign_allowed = false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return false;
    }
    std::int64_t signed_value = negative ? -magnitude : magnitude;
    if (signed_value > std::numeric_limits<std::int32_t>::max()) return false;
    value = static_cast<std::int32_t>(signed_value);
    return true;
}

bool read_real_field(std::string_view field, int decimals, float& value) {
    // Collect the mantissa digits (leading zeros dropped), the position of the point and the
    // exponent, then hand the decimal text "digits e exponent" to the float conversion.
    std::array<char, 64> digits; // only the first digit_count entries are ever read
    int digit_count = 0;
    int dropped_digits = 0; // significant digits beyond the buffer, each a factor of ten
    int fraction_digits = 0;
    bool negative = false;
    bool seen_point = false;
    bool seen_mantissa_sign = false;
    bool seen_any_mantissa = false;
    bool in_exponent = false;
    bool exponent_negative = false;
    bool seen_exponent_sign = false;
    bool seen_exponent_digit = false;
    std::int64_t exponent = 0;

    for (char c : field) {
        if (is_blank(c)) continue;
        if (!in_exponent) {
            if ((c == '+' || c == '-') && !seen_any_mantissa && !seen_mantissa_sign) {
                negative = c == '-';
                seen_mantissa_sign = true;
                continue;
            }
            if (is_digit(c)) {
                seen_any_mantissa = true;
                if (seen_point) ++fraction_digits;
                if (digit_count == 0 && c == '0') continue;
                if (digit_count < static_cast<int>(digits.size())) {
                    digits[static_cast<std::size_t>(digit_count++)] = c;
                } else {
                    ++dropped_digits; // beyond float precision, keeps only its place value
                }
                continue;
            }
            if (c == '.' && !seen_point) {
                seen_point = true;
                seen_any_mantissa = true;
                continue;
            }
            if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
                in_exponent = true;
                continue;
            }
            if ((c == '+' || c == '-') && seen_any_mantissa) {
                // A sign right after the mantissa starts the exponent: 1.5+2 is 150.
                in_exponent = true;
                exponent_negative = c == '-';
                seen_exponent_sign = true;
                continue;
            }
            return false;
        }
        if ((c == '+' || c == '-') && !seen_exponent_sign && !seen_exponent_digit) {
            exponent_negative = c == '-';
            seen_exponent_sign = true;
            continue;
        }
        if (!is_digit(c)) return false;
        seen_exponent_digit = true;
        if (exponent < 1'000'000) exponent = exponent * 10 + (c - '0');
    }

    if (!seen_point) fraction_digits = decimals;
    if (exponent_negative) exponent = -exponent;
    std::int64_t scale = exponent - fraction_digits + dropped_digits;

    if (digit_count == 0) {
        value = negative ? -0.0f : 0.0f;
        return true;
    }
    // Far outside the float range either way: decide without converting.
    std::int64_t magnitude_exponent = scale + digit_count; // value < 10^magnitude_exponent
    if (magnitude_exponent > 40) return false;
    if (magnitude_exponent < -50) {
        value = negative ? -0.0f : 0.0f;
        return true;
    }

    // Up to seven digits and a scale of at most ten: the digits and the power of ten are both
    // exact floats, so one float multiplication or division rounds straight to the nearest float.
    int significant = digit_count;
    std::int64_t short_scale = scale;
    while (significant > 1 && digits[static_cast<std::size_t>(significant - 1)] == '0') {
        --significant; // 250.00 is 25e1
        ++short_scale;
    }
    if (significant <= 7 && short_scale >= -10 && short_scale <= 10) {
        std::int32_t mantissa = 0;
        for (int i = 0; i < significant; ++i)
            mantissa = mantissa * 10 + (digits[static_cast<std::size_t>(i)] - '0');
        float power = exact_float_powers_of_ten[static_cast<std::size_t>(
            short_scale < 0 ? -short_scale : short_scale)];
        float magnitude = short_scale < 0 ? static_cast<float>(mantissa) / power
                                          : static_cast<float>(mantissa) * power;
        value = negative ? -magnitude : magnitude;
        return true;
    }

    std::array<char, 96> text;
    char* out = text.data();
    if (negative) *out++ = '-';
    std::memcpy(out, digits.data(), static_cast<std::size_t>(digit_count));
    out += digit_count;
    *out++ = 'e';
    out = std::to_chars(out, text.data() + text.size(), scale).ptr;

    float result = 0.0f;
    auto [end, error] = std::from_chars(text.data(), out, result, std::chars_format::scientific);
    if (end != out) return false;
    if (error == std::errc::result_out_of_range) {
        // Too small for a float rounds to zero; too large is no valid float.
        if (magnitude_exponent > 0) return false;
        result = negative ? -0.0f : 0.0f;
    } else if (error != std::errc{}) {
        return false;
    }
    if (std::isinf(result)) return false;
    value = result;
    return true;
}

namespace {

constexpr std::array<double, 8> exact_double_powers_of_ten{1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};

bool fill_field(char* out, int width, const char* text, int length) {
    if (length > width) {
        std::memset(out, '*', static_cast<std::size_t>(width));
        return false;
    }
    std::memset(out, ' ', static_cast<std::size_t>(width - length));
    std::memcpy(out + (width - length), text, static_cast<std::size_t>(length));
    return true;
}

} // namespace

bool write_integer_field(char* out, int width, std::int32_t value) {
    std::array<char, 16> text;
    auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return fill_field(out, width, text.data(), static_cast<int>(result.ptr - text.data()));
}

bool write_real_field(char* out, int width, int decimals, float value) {
    if (decimals >= 1 && decimals <= 7) {
        // A float has 24 significant bits and 10^7 = 2^7 * 5^7 with 5^7 < 2^17, so the product
        // value * 10^d is exact in double; rounding it to an integer (ties to even, the default
        // rounding mode) is then exactly the value rounded to d decimals.
        double scaled = static_cast<double>(value) * exact_double_powers_of_ten[decimals];
        double magnitude = std::fabs(scaled);
        if (magnitude < 1e18) {
            auto units = static_cast<std::uint64_t>(std::nearbyint(magnitude));
            // Digits from the right: d decimals, the point, then at least one integer digit.
            std::array<char, 32> text;
            char* end = text.data() + text.size();
            char* p = end;
            for (int i = 0; i < decimals; ++i) {
                *--p = static_cast<char>('0' + units % 10);
                units /= 10;
            }
            *--p = '.';
            do {
                *--p = static_cast<char>('0' + units % 10);
                units /= 10;
            } while (units != 0);
            if (std::signbit(value)) *--p = '-';
            return fill_field(out, width, p, static_cast<int>(end - p));
        }
    }
    std::array<char, 80> text;
    int length = 0;
    if (std::isnan(value)) {
        std::memcpy(text.data(), "NaN", 3);
        length = 3;
    } else if (std::isinf(value)) {
        const char* word = value < 0 ? "-Infinity" : "Infinity";
        length = static_cast<int>(std::strlen(word));
        std::memcpy(text.data(), word, static_cast<std::size_t>(length));
    } else {
        auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                    std::chars_format::fixed, decimals);
        if (result.ec != std::errc{}) {
            std::memset(out, '*', static_cast<std::size_t>(width));
            return false;
        }
        length = static_cast<int>(result.ptr - text.data());
    }
    return fill_field(out, width, text.data(), length);
}

} // namespace pipenet
