#include "report/shortest_text.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace pipenet {

namespace {

__extension__ typedef unsigned __int128 Wide;

// A positive value as digits * 10^exponent, the digits without a trailing zero.
struct Decimal {
    std::uint64_t digits = 0;
    int exponent = 0;
};

// The decimal with the fewest digits after the point that lies strictly inside the rounding
// interval of m * 2^e, and the nearest such: m a normal significand that is not a power of two
// (whose interval is lopsided), e < 0. With k digits after the point, m * 10^k holds v * 10^k
// in units of 2^e exactly, so the nearest candidate and its distance are exact integers, as is
// the half step 10^k / 2 it is measured against. A candidate found at k is also one at every
// larger k, so the first k found has the fewest significant digits, and a search may halve the
// range of k. None where a tie or a value on the boundary would need a closer look:
// std::to_chars then decides. Unsigned is 64 bits wide for a float's significand, 128 for a
// double's.
template <typename Unsigned>
class Candidates {
public:
    Candidates(std::uint64_t m, int shift) : m_(m), shift_(shift), unit_(Unsigned{1} << shift) {}

    // 1 when a candidate with k digits after the point lies inside, 0 when none does, -1 when
    // one lies on the boundary or two are equally near.
    int probe(int k) {
        const Unsigned scaled = Unsigned{m_} * power(k);
        const Unsigned below = scaled & (unit_ - 1);
        whole_ = scaled >> shift_;
        Unsigned distance = below;
        if (2 * below > unit_) {
            distance = unit_ - below;
            ++whole_;
        } else if (2 * below == unit_) {
            return -1;
        }
        if (2 * distance < power(k)) return 1;
        return 2 * distance == power(k) ? -1 : 0;
    }
    Unsigned whole() const { return whole_; }

    static Unsigned power(int k) {
        static constexpr auto table = [] {
            std::array<Unsigned, 21> powers{};
            powers[0] = 1;
            for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
            return powers;
        }();
        return table[static_cast<std::size_t>(k)];
    }

private:
    std::uint64_t m_;
    int shift_;
    Unsigned unit_;
    Unsigned whole_ = 0;
};

// m * 2^e with a significand of `bits` bits; `most` digits after the point at most (m * 10^most
// fits the arithmetic), `longest` significant digits always enough to tell the value apart.
template <typename Unsigned>
std::optional<Decimal> shortest_decimal(std::uint64_t m, int e, int bits, int most, int longest) {
    if (e >= 0 || -e >= static_cast<int>(8 * sizeof(Unsigned)) - 8) return std::nullopt;
    // A power of ten at or below the value, by a product that errs by less than one below
    // 2^100; the search's lower end allows for that and for the nearest decimal lying at the
    // next power of ten.
    const int leading = e + bits - 1;
    const int ten_power = (leading * 1233) >> 12;
    int low = std::max(0, -ten_power - 3);
    int high = std::min(most, longest - 1 - ten_power);
    if (low > high) return std::nullopt;
    Candidates<Unsigned> candidates(m, -e);
    bool high_found = false;
    Unsigned whole = 0;
    // The results of arithmetic need all the digits or nearly, values as typed few: one probe
    // two digits short of the most tells which half of the range to search.
    if (high - 2 > low) {
        const int verdict = candidates.probe(high - 2);
        if (verdict < 0) return std::nullopt;
        if (verdict > 0) {
            high -= 2;
            high_found = true;
            whole = candidates.whole();
        } else {
            low = high - 1;
        }
    }
    while (low < high) {
        const int middle = (low + high) / 2;
        const int verdict = candidates.probe(middle);
        if (verdict < 0) return std::nullopt;
        if (verdict > 0) {
            high = middle;
            high_found = true;
            whole = candidates.whole();
        } else {
            low = middle + 1;
        }
    }
    if (!high_found) {
        if (candidates.probe(high) <= 0) return std::nullopt;
        whole = candidates.whole();
    }
    if (whole >> 63 != 0) return std::nullopt;
    Decimal d{static_cast<std::uint64_t>(whole), -high};
    while (d.digits % 10 == 0) {
        d.digits /= 10;
        ++d.exponent;
    }
    return d;
}

std::optional<Decimal> decimal_of(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased == 0 || biased == 0x7ff || fraction == 0) return std::nullopt;
    return shortest_decimal<Wide>(fraction | (std::uint64_t{1} << 52), biased - 1075, 53, 20, 17);
}

std::optional<Decimal> decimal_of(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t fraction = bits & ((std::uint32_t{1} << 23) - 1);
    const auto biased = static_cast<int>((bits >> 23) & 0xff);
    if (biased == 0 || biased == 0xff || fraction == 0) return std::nullopt;
    return shortest_decimal<std::uint64_t>(fraction | (std::uint32_t{1} << 23), biased - 150, 24,
                                           11, 9);
}

constexpr auto powers_of_ten = [] {
    std::array<std::uint64_t, 20> powers{};
    powers[0] = 1;
    for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
    return powers;
}();

// Writes `count` digits of `value` (with leading zeros) ending just before `end`, two at a time.
void put_digits(char* end, std::uint64_t value, int count) {
    static constexpr char pairs[] = "00010203040506070809101112131415161718192021222324252627282930"
                                    "31323334353637383940414243444546474849505152535455565758596061"
                                    "62636465666768697071727374757677787980818283848586878889909192"
                                    "93949596979899";
    for (; count >= 2; count -= 2) {
        end -= 2;
        std::memcpy(end, pairs + 2 * (value % 100), 2);
        value /= 100;
    }
    if (count == 1) *--end = static_cast<char>('0' + value % 10);
}

int digit_count(std::uint64_t value) {
    const int estimate = (std::bit_width(value) * 1233) >> 12;
    return estimate - (value < powers_of_ten[static_cast<std::size_t>(estimate)] ? 1 : 0) + 1;
}

// digits * 10^exponent in std::to_chars's layout: fixed or exponent form, whichever is shorter,
// fixed on a tie; the exponent with a sign and at least two digits.
char* write_decimal(char* first, char* last, bool negative, const Decimal& d) {
    const int n = digit_count(d.digits);
    const int p = d.exponent;
    const int power = p + n - 1;
    const int magnitude = power < 0 ? -power : power;
    const int exponent_length = n + (n > 1 ? 1 : 0) + 2 + (magnitude >= 100 ? 3 : 2);
    const int fixed_length = p >= 0 ? n + p : (n + p > 0 ? n + 1 : 2 - p);
    const bool fixed = fixed_length <= exponent_length;
    const int length = (fixed ? fixed_length : exponent_length) + (negative ? 1 : 0);
    if (last - first < length) return nullptr;
    char* out = first;
    if (negative) *out++ = '-';
    if (!fixed) {
        const std::uint64_t rest = powers_of_ten[static_cast<std::size_t>(n - 1)];
        *out++ = static_cast<char>('0' + d.digits / rest);
        if (n > 1) {
            *out++ = '.';
            put_digits(out + n - 1, d.digits % rest, n - 1);
            out += n - 1;
        }
        *out++ = 'e';
        *out++ = power < 0 ? '-' : '+';
        if (magnitude >= 100) *out++ = static_cast<char>('0' + magnitude / 100);
        *out++ = static_cast<char>('0' + magnitude / 10 % 10);
        *out++ = static_cast<char>('0' + magnitude % 10);
        return out;
    }
    if (p >= 0) {
        put_digits(out + n, d.digits, n);
        out += n;
        for (int i = 0; i < p; ++i) *out++ = '0';
        return out;
    }
    if (n + p > 0) {
        const std::uint64_t fraction = powers_of_ten[static_cast<std::size_t>(-p)];
        put_digits(out + n + p, d.digits / fraction, n + p);
        out += n + p;
        *out++ = '.';
        put_digits(out - p, d.digits % fraction, -p);
        return out - p;
    }
    *out++ = '0';
    *out++ = '.';
    put_digits(out - p, d.digits, -p); // the zeros after the point are the leading zeros
    return out - p;
}

template <typename Real>
char* write_shortest(char* first, char* last, Real value) {
    if (value == 0 && last - first >= 2) {
        char* out = first;
        if (std::signbit(value)) *out++ = '-';
        *out++ = '0';
        return out;
    }
    if (const std::optional<Decimal> d = decimal_of(value < 0 ? -value : value))
        return write_decimal(first, last, value < 0, *d);
    const std::to_chars_result written = std::to_chars(first, last, value);
    return written.ec == std::errc{} ? written.ptr : nullptr;
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
    if (const std::optional<Decimal> d = decimal_of(value < 0 ? -value : value)) {
        // The digits and the power of ten are exact doubles, so one rounding gives the nearest.
        const auto digits = static_cast<double>(d->digits);
        const double magnitude =
            d->exponent >= 0 ? digits * powers[d->exponent] : digits / powers[-d->exponent];
        return value < 0 ? -magnitude : magnitude;
    }
    char text[32];
    const char* end = std::to_chars(text, text + sizeof text, value).ptr;
    double widened = value;
    std::from_chars(text, end, widened);
    return widened;
}

} // namespace pipenet
