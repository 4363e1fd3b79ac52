#include "report/shortest_text.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace pipenet {

namespace {

__extension__ typedef unsigned __int128 Wide;

// A positive value as digits * 10^exponent.
struct Decimal {
    std::uint64_t digits = 0;
    int exponent = 0;
};

// floor(10^-k / 2^r) + 1 in [2^125, 2^126) as its high bits and its low 63 bits, for k from
// lowest_k; tools/make_ten_powers.py works them out with exact integers.
constexpr int lowest_k = -324;
constexpr std::uint64_t ten_powers[][2] = {
#include "report/ten_powers.inc"
};

// The products below are exact over every exponent of a double (the table's script checks them).
int floor_log10_pow2(int q) {
    return static_cast<int>((std::int64_t{q} * 661971961083) >> 41);
}
int floor_log10_three_quarters_pow2(int q) {
    return static_cast<int>((std::int64_t{q} * 661971961083 - 274743187321) >> 41);
}
int floor_log2_pow10(int e) {
    return static_cast<int>((std::int64_t{e} * 913124641741) >> 38);
}

// g * cp / 2^127, with g = high * 2^63 + low, rounded to odd: the integer part, its lowest bit
// set when a fraction is left. The bits below the ones kept cannot turn an exact quotient into
// an inexact one or the other way for the operands used here.
std::uint64_t round_to_odd(std::uint64_t high, std::uint64_t low, std::uint64_t cp) {
    constexpr std::uint64_t low_63 = (std::uint64_t{1} << 63) - 1;
    const auto x1 = static_cast<std::uint64_t>((Wide{low} * cp) >> 64);
    const Wide y = Wide{high} * cp;
    const auto z = (static_cast<std::uint64_t>(y) >> 1) + x1;
    const std::uint64_t whole = static_cast<std::uint64_t>(y >> 64) + (z >> 63);
    return whole | (((z & low_63) + low_63) >> 63);
}

// The same for a float's operands (cp below 2^31), from the high bits of g rounded up: the excess
// stays below 2^31 units of the 2^-64 kept, so a fraction first seen from bit 32 up is one, and
// none below is (tests/report/every_float checks every float against the library).
std::uint64_t round_to_odd(std::uint64_t high, std::uint64_t cp) {
    const Wide p = Wide{high + 1} * cp;
    return static_cast<std::uint64_t>(p >> 64) | (static_cast<std::uint64_t>(p) >> 32 != 0);
}

// The shortest decimal inside the rounding interval of c * 2^q, the nearest of them, the even on
// a tie: c a significand of `precision` bits (normal: its leading bit set; below: any, at the
// lowest exponent). In units of 2^(q-2) the value is 4c and its bounds 4c - 2 and 4c + 2 (4c - 1
// below a power of two, whose lower neighbour is nearer). Scaled by 10^-k for the k that makes
// the interval between 1 and 10 units wide, the bounds are worked out to two bits beyond the
// point and whether more follows: exact enough to tell which integers lie inside. A multiple of
// ten inside has one digit fewer than any other; else the one or two integers next to the
// value are the candidates.
template <int precision, int lowest_q>
[[gnu::noinline]] Decimal exact_decimal(std::uint64_t c, int q) {
    const std::uint64_t excluded = c & 1; // an odd significand's bounds round away from it
    const std::uint64_t cb = c << 2;
    const std::uint64_t cbr = cb + 2;
    std::uint64_t cbl = cb - 2;
    int k = 0;
    if (c != std::uint64_t{1} << (precision - 1) || q == lowest_q) {
        k = floor_log10_pow2(q);
    } else {
        cbl = cb - 1;
        k = floor_log10_three_quarters_pow2(q);
    }
    const int h = q + floor_log2_pow10(-k) + 2;
    const std::uint64_t* g = ten_powers[k - lowest_k];
    std::uint64_t vb = 0, vbl = 0, vbr = 0;
    if constexpr (precision <= 24) {
        vb = round_to_odd(g[0], cb << h);
        vbl = round_to_odd(g[0], cbl << h);
        vbr = round_to_odd(g[0], cbr << h);
    } else {
        vb = round_to_odd(g[0], g[1], cb << h);
        vbl = round_to_odd(g[0], g[1], cbl << h);
        vbr = round_to_odd(g[0], g[1], cbr << h);
    }
    const std::uint64_t s = vb >> 2;
    if (s >= 10) {
        const std::uint64_t sp10 = s / 10 * 10;
        const std::uint64_t tp10 = sp10 + 10;
        const bool lower_in = vbl + excluded <= sp10 << 2;
        const bool upper_in = (tp10 << 2) + excluded <= vbr;
        if (lower_in != upper_in) return {lower_in ? sp10 : tp10, k};
    }
    const bool lower_in = vbl + excluded <= s << 2;
    const bool upper_in = ((s + 1) << 2) + excluded <= vbr;
    if (lower_in != upper_in) return {lower_in ? s : s + 1, k};
    // Both inside: the nearer, the even one when the value lies half-way.
    const std::uint64_t middle = (2 * s + 1) << 1;
    const bool lower = vb < middle || (vb == middle && (s & 1) == 0);
    return {lower ? s : s + 1, k};
}

// The same decimal as exact_decimal, mostly from one product. The value v scaled by 10^-k and
// the interval's half-width w (between 1/2 and 5) are worked out in units of 2^-56: v from g
// times the significand, w from g alone (its product with the half-width in units of 2^(q-1) is
// a shift). g lies a little above 10^-k / 2^r and both are truncated, so each is within a few
// units of the exact value (a float's, with g's high bits rounded up, within 2^21).
// With s = floor(v): the multiple of ten below s is inside the interval when v is within w of it,
// the one above likewise; not both, as w < 5. Else of s and s + 1 the nearer to v is: the
// interval is at least one wide, so a farther one inside means a nearer one inside too. A
// distance within `margin` of w or of one half (an exact bound, a tie: rare in results of
// arithmetic) cannot be placed by these sums, and takes exact_decimal's way; so does the
// interval below a power of two, which is not symmetric.
template <int precision, int lowest_q>
[[gnu::always_inline]] inline Decimal shortest_decimal(std::uint64_t c, int q) {
    if (c == std::uint64_t{1} << (precision - 1) && q != lowest_q)
        return exact_decimal<precision, lowest_q>(c, q);
    const int k = floor_log10_pow2(q);
    const int h = q + floor_log2_pow10(-k) + 2; // 2 ... 5
    const std::uint64_t* g = ten_powers[k - lowest_k];
    const std::uint64_t y = c << (h + 2);
    constexpr bool single = precision <= 24;
    // v in units of 2^-66.
    const Wide product = single ? Wide{g[0] + 1} * y : Wide{g[0]} * y + (Wide{g[1]} * y >> 63);
    const auto high = static_cast<std::uint64_t>(product >> 64);
    const std::uint64_t s = high >> 2;
    constexpr std::int64_t one = std::int64_t{1} << 56;
    const auto fraction =
        static_cast<std::int64_t>(((high & 3) << 54) | (static_cast<std::uint64_t>(product) >> 10));
    const auto w = static_cast<std::int64_t>((g[0] + (single ? 1 : 0)) >> (9 - h));
    constexpr std::int64_t margin = single ? std::int64_t{1} << 24 : 16;
    const auto near = [](std::int64_t difference) {
        return static_cast<std::uint64_t>(difference + margin) < std::uint64_t{2 * margin};
    };
    if (s >= 10) {
        const std::uint64_t s10 = s / 10;
        const std::int64_t below = static_cast<std::int64_t>(s - s10 * 10) * one + fraction;
        const std::int64_t above = 10 * one - below;
        if (near(below - w) || near(above - w)) return exact_decimal<precision, lowest_q>(c, q);
        // One digit fewer, whose last zero is dropped here.
        if (below < w) return {s10, k + 1};
        if (above < w) return {s10 + 1, k + 1};
    }
    if (near(fraction - one / 2)) return exact_decimal<precision, lowest_q>(c, q);
    return {fraction < one / 2 ? s : s + 1, k};
}

// Drops the trailing zeros of a non-zero decimal's digits.
[[gnu::always_inline]] inline Decimal without_trailing_zeros(Decimal d) {
    if (d.digits % 10 != 0) return d; // most results of arithmetic
    while (d.digits % 100000000 == 0) {
        d.digits /= 100000000;
        d.exponent += 8;
    }
    if (d.digits % 10000 == 0) {
        d.digits /= 10000;
        d.exponent += 4;
    }
    if (d.digits % 100 == 0) {
        d.digits /= 100;
        d.exponent += 2;
    }
    if (d.digits % 10 == 0) {
        d.digits /= 10;
        d.exponent += 1;
    }
    return d;
}

template <typename Real>
using BitsOf = std::conditional_t<sizeof(Real) == 8, std::uint64_t, std::uint32_t>;

// The shortest decimal of a finite, positive value, given its bits; its digits may end in zeros.
template <typename Real>
[[gnu::always_inline]] inline Decimal decimal_with_zeros(BitsOf<Real> bits) {
    constexpr int precision = std::numeric_limits<Real>::digits;
    constexpr int lowest_q = std::numeric_limits<Real>::min_exponent - precision;
    const std::uint64_t fraction = bits & ((BitsOf<Real>{1} << (precision - 1)) - 1);
    const auto biased = static_cast<int>(bits >> (precision - 1));
    if (biased == 0) return shortest_decimal<precision, lowest_q>(fraction, lowest_q);
    return shortest_decimal<precision, lowest_q>(fraction | (std::uint64_t{1} << (precision - 1)),
                                                 biased - 1 + lowest_q);
}

template <typename Real>
Decimal decimal_of(BitsOf<Real> bits) {
    return without_trailing_zeros(decimal_with_zeros<Real>(bits));
}

constexpr char digit_pairs[] = "00010203040506070809101112131415161718192021222324252627282930"
                               "31323334353637383940414243444546474849505152535455565758596061"
                               "62636465666768697071727374757677787980818283848586878889909192"
                               "93949596979899";

// The eight digits of value < 10^8 as bytes of 0 to 9, leading zeros included, worked out side by
// side in the lanes of one 64-bit word: two lanes of four digits, split into four of two, then
// eight of one, each division by a multiplication exact over the lane's range; the lowest byte
// is the first digit, so a zero byte count from the top is a count of trailing zero digits.
[[gnu::always_inline]] inline std::uint64_t eight_digits(std::uint32_t value) {
    const std::uint64_t high = value / 10000;
    const std::uint64_t low = value - high * 10000;
    const std::uint64_t fours = high | (low << 32);
    const std::uint64_t hundreds = ((fours * 10486) >> 20) & 0x0000007f0000007f;
    const std::uint64_t twos = hundreds | ((fours - 100 * hundreds) << 16);
    const std::uint64_t tens = ((twos * 103) >> 10) & 0x000f000f000f000f;
    const std::uint64_t ones = twos - 10 * tens;
    return tens | (ones << 8);
}

constexpr std::uint64_t zero_characters = 0x3030303030303030;

// A decimal's significant digits as text: `count` characters from `first`, and the power of ten
// of the last of them.
struct DigitText {
    // The digits right-aligned in the first 24 places; the rest lets copies be of a fixed length.
    char text[48];
    const char* first;
    int count;
    int exponent;
};

// Leading and trailing zeros are found in the digits' bytes rather than by division: the digits
// (at most 9, or at most 17) are written whole, in blocks of eight.
template <int most_digits>
[[gnu::always_inline]] inline void put_digits(DigitText& t, Decimal d) {
    int leading = 0, trailing = 0;
    if constexpr (most_digits <= 9) {
        const std::uint64_t top = d.digits / 100000000; // 0 or 1
        const std::uint64_t low =
            eight_digits(static_cast<std::uint32_t>(d.digits - top * 100000000));
        t.text[15] = static_cast<char>('0' + top);
        const std::uint64_t text = low | zero_characters;
        std::memcpy(t.text + 16, &text, 8);
        leading = top != 0 ? 15 : 16 + std::countr_zero(low) / 8;
        trailing = low != 0 ? std::countl_zero(low) / 8 : 8;
    } else {
        const std::uint64_t rest = d.digits / 100000000;
        const std::uint64_t top = rest / 100000000; // 0 to 9
        const std::uint64_t low =
            eight_digits(static_cast<std::uint32_t>(d.digits - rest * 100000000));
        const std::uint64_t middle =
            eight_digits(static_cast<std::uint32_t>(rest - top * 100000000));
        t.text[7] = static_cast<char>('0' + top);
        const std::uint64_t texts[2] = {middle | zero_characters, low | zero_characters};
        std::memcpy(t.text + 8, texts, 16);
        leading = top != 0      ? 7
                  : middle != 0 ? 8 + std::countr_zero(middle) / 8
                                : 16 + std::countr_zero(low) / 8;
        trailing = low != 0      ? std::countl_zero(low) / 8
                   : middle != 0 ? 8 + std::countl_zero(middle) / 8
                                 : 16;
    }
    t.first = t.text + leading;
    t.count = 24 - leading - trailing;
    t.exponent = d.exponent + trailing;
}

// The shortest text of digits * 10^exponent, negative or not, as std::to_chars lays it out: fixed
// or exponent form, whichever is shorter, fixed on a tie; the exponent with a sign and at least
// two digits. Writes within shortest_text_room bytes of `out`, past the end of the text too.
[[gnu::always_inline]] inline char* put_decimal(char* out, bool negative, const DigitText& t) {
    const char* first = t.first;
    const int n = t.count;
    const int p = t.exponent;
    *out = '-';
    out += negative ? 1 : 0;
    // Copies of a fixed length (the 48 bytes allow for them) are cheaper than exact ones.
    if (p < 0 && n + p > 0) { // the point among the digits: the fixed form is never longer
        std::memcpy(out, first, 24);
        out[n + p] = '.';
        std::memcpy(out + n + p + 1, first + n + p, 16);
        return out + n + 1;
    }
    const int power = p + n - 1;
    const int magnitude = power < 0 ? -power : power;
    const int exponent_length = n + (n > 1 ? 1 : 0) + 2 + (magnitude >= 100 ? 3 : 2);
    const int fixed_length = p >= 0 ? n + p : 2 - p;
    if (fixed_length > exponent_length) {
        out[0] = first[0];
        out[1] = '.';
        std::memcpy(out + 2, first + 1, 16);
        out += n > 1 ? n + 1 : 1;
        out[0] = 'e';
        out[1] = power < 0 ? '-' : '+';
        out += 2;
        if (magnitude >= 100) *out++ = static_cast<char>('0' + magnitude / 100);
        std::memcpy(out, digit_pairs + 2 * (magnitude % 100), 2);
        return out + 2;
    }
    if (p >= 0) { // at most five zeros, or the exponent form would be shorter
        std::memcpy(out, first, 24);
        std::memset(out + n, '0', 8);
        return out + n + p;
    }
    // 0.000ddd: at most four zeros after the point before the digits
    std::memcpy(out, "0.000000", 8);
    std::memcpy(out + 2 - p - n, first, 24);
    return out + 2 - p;
}

constexpr std::ptrdiff_t room = shortest_text_room;

constexpr double exact_ten_powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// x rounded to an integer, ties to even, for 0 <= x < 2^52: adding and taking away 2^52 rounds
// in the default rounding mode, without a library call.
[[gnu::always_inline]] inline double nearest_integer(double x) {
    return (x + 0x1p52) - 0x1p52;
}

// A double of few digits, as typed into an input file (a coordinate, a length, a known head):
// m * 10^-s, for the m of at most nine digits nearest the value times 10^s (10^7 ... 10^9), when
// it reads back to the value. Two different decimals of at most 15 digits never read back to the
// same double, so m is then the shortest decimal, trailing zeros aside; and the product lies
// within 10^-6 of m, so m is found exactly. Reading m * 10^-s back is one operation on two exact
// doubles, rounded to nearest as reading the text rounds. (A float's results of arithmetic have
// too many digits for this way to pay.)
[[gnu::always_inline]] inline bool few_digits(std::uint64_t magnitude, Decimal& d) {
    const int b = static_cast<int>(magnitude >> 52) - 1023;
    if (b < -23 || b > 49) return false; // the powers of ten below exact
    const int t = (b * 78913) >> 18;     // floor(b log10 2), exact over this range
    const int s = 7 - t;
    const auto value = std::bit_cast<double>(magnitude);
    const double m =
        nearest_integer(s >= 0 ? value * exact_ten_powers[s] : value / exact_ten_powers[-s]);
    if ((s >= 0 ? m / exact_ten_powers[s] : m * exact_ten_powers[-s]) != value) return false;
    d = {static_cast<std::uint64_t>(m), -s};
    return true;
}

// From 2^digits on, every value is an integer, and in the fixed form std::to_chars writes its
// exact digits rather than the shortest decimal's digits and zeros: those values, and the ones
// that are not finite, are left to it.
template <typename Real>
constexpr auto integers = std::bit_cast<BitsOf<Real>>(Real(BitsOf<Real>{1}
                                                           << std::numeric_limits<Real>::digits));

template <typename Real>
char* write_shortest(char* first, char* last, Real value);

// Zeros, values left to the library, and text written where there is less room than the
// shortest way needs: kept out of the way of the others, which need fewer registers then.
template <typename Real>
[[gnu::noinline]] char* write_rare(char* first, char* last, Real value) {
    const auto magnitude = std::bit_cast<BitsOf<Real>>(std::fabs(value));
    if (magnitude == 0) {
        if (last - first < 2) return nullptr;
        char* out = first;
        if (std::signbit(value)) *out++ = '-';
        *out++ = '0';
        return out;
    }
    if (last - first < room) {
        char text[room];
        const char* end = write_shortest(text, text + room, value);
        if (end == nullptr || end - text > last - first) return nullptr;
        std::memcpy(first, text, static_cast<std::size_t>(end - text));
        return first + (end - text);
    }
    const std::to_chars_result written = std::to_chars(first, last, value);
    return written.ec == std::errc{} ? written.ptr : nullptr;
}

template <typename Real>
char* write_shortest(char* first, char* last, Real value) {
    using Bits = BitsOf<Real>;
    const auto bits = std::bit_cast<Bits>(value);
    const Bits magnitude = bits & (std::numeric_limits<Bits>::max() >> 1);
    constexpr auto infinity = std::bit_cast<Bits>(std::numeric_limits<Real>::infinity());
    if (magnitude - 1 >= infinity - 1 || last - first < room) // zero, or not finite
        return write_rare(first, last, value);
    DigitText t;
    if (Decimal d; sizeof(Real) == 8 && few_digits(magnitude, d)) {
        put_digits<9>(t, d);
    } else {
        put_digits<sizeof(Real) == 4 ? 9 : 17>(t, decimal_with_zeros<Real>(magnitude));
    }
    if (t.exponent > 0 && magnitude >= integers<Real>) return write_rare(first, last, value);
    return put_decimal(first, bits != magnitude, t);
}

} // namespace

char* shortest_text(char* first, char* last, double value) {
    return write_shortest(first, last, value);
}

char* shortest_text(char* first, char* last, float value) {
    return write_shortest(first, last, value);
}

double float_decimal(float value) {
    static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (std::isfinite(value) && value != 0) {
        const Decimal d = decimal_of<float>(std::bit_cast<std::uint32_t>(std::fabs(value)));
        // The digits (at most nine) and the power of ten are exact doubles, so one rounding
        // gives the nearest.
        // (From 2^24 on, std::to_chars may write the float's exact digits: those are read.)
        if (d.exponent >= -22 && (d.exponent <= 0 || std::fabs(value) < 0x1p24f)) {
            const auto digits = static_cast<double>(d.digits);
            const double magnitude =
                d.exponent >= 0 ? digits * powers[d.exponent] : digits / powers[-d.exponent];
            return value < 0 ? -magnitude : magnitude;
        }
    }
    char text[32];
    const char* end = std::to_chars(text, text + sizeof text, value).ptr;
    double widened = value;
    std::from_chars(text, end, widened);
    return widened;
}

} // namespace pipenet
