#include "report/shortest_text.hpp"

#include <array>
#include <bit>
#include <charconv>
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

// most: the most digits after the point the type's arithmetic holds (m * 10^most fits).
template <typename Unsigned>
std::optional<Decimal> shortest_decimal(std::uint64_t m, int e, int most) {
    if (e >= 0 || -e >= static_cast<int>(8 * sizeof(Unsigned)) - 8) return std::nullopt;
    Candidates<Unsigned> candidates(m, -e);
    // Values as typed need few digits: those are tried one by one, the rest halved.
    int found = -1;
    for (int k = 0; k <= 2 && found < 0; ++k) {
        const int verdict = candidates.probe(k);
        if (verdict < 0) return std::nullopt;
        if (verdict > 0) found = k;
    }
    if (found < 0) {
        int low = 3; // every k below low has none
        int high = most;
        if (candidates.probe(high) <= 0) return std::nullopt;
        while (low < high) {
            const int middle = (low + high) / 2;
            const int verdict = candidates.probe(middle);
            if (verdict < 0) return std::nullopt;
            if (verdict > 0) {
                high = middle;
            } else {
                low = middle + 1;
            }
        }
        found = high;
        if (candidates.probe(found) <= 0) return std::nullopt;
    }
    const Unsigned whole = candidates.whole();
    if (whole >> 63 != 0) return std::nullopt;
    Decimal d{static_cast<std::uint64_t>(whole), -found};
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
    return shortest_decimal<Wide>(fraction | (std::uint64_t{1} << 52), biased - 1075, 20);
}

std::optional<Decimal> decimal_of(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t fraction = bits & ((std::uint32_t{1} << 23) - 1);
    const auto biased = static_cast<int>((bits >> 23) & 0xff);
    if (biased == 0 || biased == 0xff || fraction == 0) return std::nullopt;
    return shortest_decimal<std::uint64_t>(fraction | (std::uint32_t{1} << 23), biased - 150, 11);
}

// digits * 10^exponent in std::to_chars's layout: fixed or exponent form, whichever is shorter,
// fixed on a tie; the exponent with a sign and at least two digits.
char* write_decimal(char* first, char* last, bool negative, const Decimal& d) {
    char digits[24];
    const auto n =
        static_cast<int>(std::to_chars(digits, digits + sizeof digits, d.digits).ptr - digits);
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
        *out++ = digits[0];
        if (n > 1) {
            *out++ = '.';
            std::memcpy(out, digits + 1, static_cast<std::size_t>(n - 1));
            out += n - 1;
        }
        *out++ = 'e';
        *out++ = power < 0 ? '-' : '+';
        if (magnitude < 10) *out++ = '0';
        return std::to_chars(out, last, magnitude).ptr;
    }
    if (p >= 0) {
        std::memcpy(out, digits, static_cast<std::size_t>(n));
        out += n;
        std::memset(out, '0', static_cast<std::size_t>(p));
        return out + p;
    }
    if (n + p > 0) {
        const auto whole = static_cast<std::size_t>(n + p);
        std::memcpy(out, digits, whole);
        out += whole;
        *out++ = '.';
        std::memcpy(out, digits + whole, static_cast<std::size_t>(-p));
        return out - p;
    }
    *out++ = '0';
    *out++ = '.';
    std::memset(out, '0', static_cast<std::size_t>(-p - n));
    out += -p - n;
    std::memcpy(out, digits, static_cast<std::size_t>(n));
    return out + n;
}

template <typename Real>
char* write_shortest(char* first, char* last, Real value) {
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
