#include "report/typed_decimal.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "report/shortest_text.hpp"

namespace pipenet {

namespace {

// 10^0 ... 10^10: exact floats (5^10 < 2^24) and exact doubles.
constexpr std::array<double, 11> powers_of_ten{1e0, 1e1, 1e2, 1e3, 1e4, 1e5,
                                               1e6, 1e7, 1e8, 1e9, 1e10};

// x rounded to an integer, ties to even, for 0 <= x < 2^52: adding and taking away 2^52 rounds
// in the default rounding mode, without a library call.
double round_to_integer(double x) {
    return (x + 0x1p52) - 0x1p52;
}

} // namespace

// Why six digits are enough: a float has 24 significant bits, so two different decimals of at
// most six significant digits never read back to the same normal float. A six-digit decimal
// m * 10^q that reads back to `value` is then the only decimal of at most six digits that does,
// so no shorter one does, and it is the shortest decimal itself. It can only be
// round(value * 10^-q) with q making that a six-digit integer: any decimal closer than half a
// unit of the float lies within 0.06 of it in those units. Reading m * 10^q back is one float
// operation on two exact floats, rounded to nearest as reading the text rounds. From 2^24 on,
// the library writes a whole float in full rather than its shortest digits, so float_decimal
// gives its exact value there: those take float_decimal's way.
double typed_decimal(float value) {
    const float magnitude = std::fabs(value);
    if (!(magnitude >= 1e-5f && magnitude < 0x1p24f)) return float_decimal(value);
    // magnitude is within [2^b, 2^(b+1)); 10^t <= 2^b with t = floor(b log10 2), and the leading
    // digit's power of ten is t or t + 1.
    const int b = static_cast<int>((std::bit_cast<std::uint32_t>(magnitude) >> 23) & 0xff) - 127;
    int t = (b * 78913) >> 18;
    const int s = 5 - t; // magnitude * 10^s is 10^5 ... 10^7
    if (s < -10 || s > 10) return float_decimal(value);
    // Exact for s >= 0: 24 bits times 5^s < 2^24 with a power of two.
    const double scaled = s >= 0 ? double{magnitude} * powers_of_ten[static_cast<std::size_t>(s)]
                                 : double{magnitude} / powers_of_ten[static_cast<std::size_t>(-s)];
    double digits = round_to_integer(scaled);
    int q = -s;
    if (digits >= 999999.5) {
        // The leading digit's power is t + 1: one digit fewer at this scale.
        if (q == 10) return float_decimal(value);
        digits = round_to_integer(
            s - 1 >= 0 ? double{magnitude} * powers_of_ten[static_cast<std::size_t>(s - 1)]
                       : double{magnitude} / powers_of_ten[static_cast<std::size_t>(1 - s)]);
        ++q;
    }
    if (!(digits >= 1.0 && digits <= 999999.0)) return float_decimal(value);
    const auto power = static_cast<float>(powers_of_ten[static_cast<std::size_t>(q < 0 ? -q : q)]);
    const auto m = static_cast<float>(digits);
    const float back = q < 0 ? m / power : m * power;
    if (back != magnitude) return float_decimal(value);
    const double decimal = q < 0 ? digits / powers_of_ten[static_cast<std::size_t>(-q)]
                                 : digits * powers_of_ten[static_cast<std::size_t>(q)];
    return value < 0 ? -decimal : decimal;
}

double typed_decimal(float value, int decimals) {
    if (decimals >= 0 && decimals <= 7) {
        const double power = powers_of_ten[static_cast<std::size_t>(decimals)];
        // Exact: 24 bits times 5^7 < 2^17 with a power of two.
        const double scaled = std::fabs(double{value}) * power;
        if (scaled >= 0.5 && scaled < 999999.5) {
            const double digits = round_to_integer(scaled);
            // Reading digits * 10^-decimals back is one float division of two exact floats,
            // rounded to nearest as reading the text rounds.
            if (static_cast<float>(digits) / static_cast<float>(power) == std::fabs(value)) {
                const double decimal = digits / power;
                return value < 0 ? -decimal : decimal;
            }
        }
    }
    return typed_decimal(value);
}

} // namespace pipenet
