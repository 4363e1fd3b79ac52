#include "report/fields.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

[[gnu::always_inline]] inline std::uint64_t load8(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

constexpr std::uint64_t eight_blanks = 0x2020202020202020u;

// The index of the first character of field[from ...] that is not a blank.
[[gnu::always_inline]] inline std::size_t skip_blanks(std::string_view field, std::size_t from) {
    const char* p = field.data();
    std::size_t size = field.size();
    if constexpr (std::endian::native == std::endian::little) {
        // Eight characters at a time; the first one that is not a blank is the lowest nonzero
        // byte of the block exclusive-or eight blanks.
        if (size >= 8) {
            for (; from + 8 <= size; from += 8) {
                std::uint64_t other = load8(p + from) ^ eight_blanks;
                if (other != 0) return from + static_cast<std::size_t>(std::countr_zero(other) / 8);
            }
            if (from == size) return size;
            // The last block overlaps the one before: its characters before `from` are dropped.
            std::size_t base = size - 8;
            std::uint64_t other = (load8(p + base) ^ eight_blanks) >> ((from - base) * 8);
            if (other == 0) return size;
            return from + static_cast<std::size_t>(std::countr_zero(other) / 8);
        }
    }
    while (from < size && is_blank(p[from])) ++from;
    return from;
}

// Decimal digits of `digits` starting at field[from]: the value accumulated into `value`, the
// index after the last digit returned. At most 18 digits are taken (the value stays exact);
// `complete` is cleared when more follow.
[[gnu::always_inline]] inline std::size_t take_digits(std::string_view field, std::size_t from,
                                                      std::uint64_t& value, int& count,
                                                      bool& complete) {
    const char* p = field.data();
    std::size_t size = field.size();
    // Where the rest of the field cannot hold more digits than the 18 allowed, the count needs
    // no test per digit.
    if (from <= size && size - from <= static_cast<std::size_t>(18 - count)) {
        const std::size_t start = from;
        while (from < size) {
            unsigned digit = static_cast<unsigned char>(p[from]) - unsigned{'0'};
            if (digit > 9) break;
            value = value * 10 + digit;
            ++from;
        }
        count += static_cast<int>(from - start);
        return from;
    }
    while (from < size && is_digit(p[from])) {
        if (count == 18) {
            complete = false;
            return from;
        }
        value = value * 10 + static_cast<std::uint64_t>(p[from] - '0');
        ++count;
        ++from;
    }
    return from;
}

} // namespace

namespace {

bool read_integer_field_general(std::string_view field, std::int32_t& value) {
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

} // namespace

bool read_integer_field(std::string_view field, std::int32_t& value) {
    // The common shape, blanks, an optional sign, digits, blanks, read in one pass; anything
    // else (a blank between digits, a stray character) goes to the general reader.
    std::size_t size = field.size();
    std::size_t at = skip_blanks(field, 0);
    bool negative = false;
    if (at < size && (field[at] == '-' || field[at] == '+')) negative = field[at++] == '-';
    std::uint64_t magnitude = 0;
    int count = 0;
    bool complete = true;
    at = take_digits(field, at, magnitude, count, complete);
    if (!complete || count > 10 || skip_blanks(field, at) != size)
        return read_integer_field_general(field, value);
    std::int64_t signed_value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (signed_value > std::numeric_limits<std::int32_t>::max() ||
        signed_value < std::numeric_limits<std::int32_t>::min())
        return false;
    value = static_cast<std::int32_t>(signed_value);
    return true;
}

namespace {

bool read_real_field_general(std::string_view field, int decimals, float& value) {
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

} // namespace

bool read_real_field(std::string_view field, int decimals, float& value) {
    // The common shape, blanks, an optional sign, digits with at most one point, blanks, with at
    // most seven significant digits and a power of ten the float conversion takes exactly: one
    // pass, and the same float the general reader makes from the digits.
    std::size_t size = field.size();
    std::size_t at = skip_blanks(field, 0);
    bool negative = false;
    if (at < size && (field[at] == '-' || field[at] == '+')) negative = field[at++] == '-';
    std::uint64_t mantissa = 0;
    int count = 0;
    bool complete = true;
    at = take_digits(field, at, mantissa, count, complete);
    int scale = -decimals;
    if (at < size && field[at] == '.') {
        int whole = count;
        at = take_digits(field, at + 1, mantissa, count, complete);
        scale = whole - count;
    }
    if (!complete || skip_blanks(field, at) != size)
        return read_real_field_general(field, decimals, value);
    if (mantissa == 0) {
        value = negative ? -0.0f : 0.0f;
        return true;
    }
    // Trailing zeros are dropped only where the digits do not fit as they are (250.00 is
    // 25e1): the quotient or product of two exact floats is rounded once from the same exact
    // value either way.
    if (mantissa >= 10'000'000 || scale < -10 || scale > 10) {
        while (mantissa % 10 == 0) {
            mantissa /= 10;
            ++scale;
        }
    }
    if (mantissa >= 10'000'000 || scale < -10 || scale > 10)
        return read_real_field_general(field, decimals, value);
    float power = exact_float_powers_of_ten[static_cast<std::size_t>(scale < 0 ? -scale : scale)];
    float magnitude =
        scale < 0 ? static_cast<float>(mantissa) / power : static_cast<float>(mantissa) * power;
    value = negative ? -magnitude : magnitude;
    return true;
}

namespace {

// What the padded readers need to know of a field of 1 ... 16 columns: one bit per column, and
// where the number stands.
struct FieldColumns {
    unsigned inside = 0; // the columns of the field
    unsigned filled = 0; // its columns that are not blank
    unsigned digits = 0; // its columns holding a digit
    unsigned points = 0; // its columns holding a decimal point
    // With filled columns: the first one after a leading sign, the last one, and the sign.
    int first = 0;
    int last = -1;
    bool negative = false;
};

#if defined(__SSE2__)
constexpr bool have_field_columns = true;

[[gnu::always_inline]] inline FieldColumns field_columns(std::string_view field) {
    const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(field.data()));
    FieldColumns columns;
    columns.inside = (1u << field.size()) - 1;
    const auto mask = [&columns](__m128i lanes) {
        return static_cast<unsigned>(_mm_movemask_epi8(lanes)) & columns.inside;
    };
    columns.filled = columns.inside & ~mask(_mm_cmpeq_epi8(text, _mm_set1_epi8(' ')));
    // A digit is a byte whose distance above '0' is at most 9, unsigned.
    const __m128i above_zero = _mm_sub_epi8(text, _mm_set1_epi8('0'));
    columns.digits = mask(_mm_cmpeq_epi8(_mm_min_epu8(above_zero, _mm_set1_epi8(9)), above_zero));
    columns.points = mask(_mm_cmpeq_epi8(text, _mm_set1_epi8('.')));
    if (columns.filled != 0) {
        columns.first = std::countr_zero(columns.filled);
        columns.last = std::bit_width(columns.filled) - 1;
        const char lead = field[static_cast<std::size_t>(columns.first)];
        columns.negative = lead == '-';
        if (lead == '-' || lead == '+') ++columns.first;
    }
    return columns;
}
#else
constexpr bool have_field_columns = false;

[[gnu::always_inline]] inline FieldColumns field_columns(std::string_view) {
    return {};
}
#endif

// The value of eight digit characters, the first in the lowest byte: neighbouring digits, then
// pairs, then fours are joined, each step one multiplication acting on every lane at once.
constexpr std::uint32_t eight_digit_value(std::uint64_t text) {
    text = ((text & 0x0f0f0f0f0f0f0f0fu) * 2561) >> 8;
    text = ((text & 0x00ff00ff00ff00ffu) * 6553601) >> 16;
    return static_cast<std::uint32_t>(((text & 0x0000ffff0000ffffu) * 42949672960001u) >> 32);
}

// The joining checked on values spread over every digit and on every digit in every place.
constexpr bool eight_digit_value_holds() {
    const auto text_of = [](std::uint32_t x) {
        std::uint64_t text = 0;
        for (int i = 7; i >= 0; --i, x /= 10) text |= std::uint64_t{'0' + x % 10} << (8 * i);
        return text;
    };
    for (std::uint32_t x = 0; x < 100'000'000; x += 7919)
        if (eight_digit_value(text_of(x)) != x) return false;
    for (std::uint32_t place = 1; place < 100'000'000; place *= 10)
        for (std::uint32_t digit = 0; digit <= 9; ++digit)
            if (eight_digit_value(text_of(digit * place)) != digit * place ||
                eight_digit_value(text_of(99'999'999 - digit * place)) !=
                    99'999'999 - digit * place)
                return false;
    return true;
}
static_assert(eight_digit_value_holds());
static_assert(!have_field_columns || std::endian::native == std::endian::little,
              "the padded readers take digits as little-endian words");

// The columns first ... last.
constexpr unsigned column_span(int first, int last) {
    return ((2u << last) - 1) & ~((1u << first) - 1);
}

} // namespace

namespace {

// The right-justified integer the fields of the input files hold, read from its last column
// leftwards: digits, an optional sign, then nothing but blanks. Any other shape is left to the
// readers that take every shape.
struct RightJustified {
    std::uint32_t magnitude = 0;
    int digits = 0;
    bool negative = false;
};

// The first n (0 ... 16) characters at p are blanks; 16 bytes from p may be read.
[[gnu::always_inline]] inline bool blanks_only(const char* p, std::size_t n) {
    const auto low_bytes = [](std::size_t count) {
        return count >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * count)) - 1;
    };
    if (((load8(p) ^ eight_blanks) & low_bytes(n)) != 0) return false;
    return n <= 8 || ((load8(p + 8) ^ eight_blanks) & low_bytes(n - 8)) == 0;
}

// Reads `field` (1 ... field_padding columns, padded) as a right-justified integer of at most
// max_digits digits. Returns false where the field has another shape.
[[gnu::always_inline]] inline bool read_right_justified(std::string_view field, int max_digits,
                                                        RightJustified& number) {
    if (std::endian::native != std::endian::little) return false;
    const char* p = field.data();
    auto i = static_cast<std::ptrdiff_t>(field.size()) - 1;
    std::uint32_t place = 1;
    for (; i >= 0; --i) {
        const unsigned digit = static_cast<unsigned char>(p[i]) - unsigned{'0'};
        if (digit <= 9) {
            if (number.digits == max_digits) return false;
            number.magnitude += digit * place;
            place *= 10;
            ++number.digits;
        } else {
            break;
        }
    }
    if (number.digits == 0) return false;
    if (i >= 0 && (p[i] == '-' || p[i] == '+')) number.negative = p[i--] == '-';
    return blanks_only(p, static_cast<std::size_t>(i + 1));
}

// Reads `field` (8 ... field_padding columns, padded) when it ends as the programs' own files
// write a real: blanks, an optional sign and one to six digits, of which the last `decimals`
// (1 ... 7) follow a point in their place. The eight columns that end the field are classified
// together as one word, the point taken out of it. Returns false where the field has another
// shape; the value is then the one the other readers make, and so it is here.
[[gnu::always_inline]] inline bool read_pointed_real(std::string_view field, int decimals,
                                                     float& value) {
    if (std::endian::native != std::endian::little || field.size() < 8 || decimals < 1 ||
        decimals > 7)
        return false;
    const char* p = field.data();
    const std::size_t before = field.size() - 8; // the columns before the word
    std::uint64_t word = load8(p + before);
    const int point = 7 - decimals; // the point's byte; the field's last column is byte 7
    if (((word >> (8 * point)) & 0xff) != '.') return false;
    // The columns before the point move up a byte over it; a blank comes in at byte 0.
    const std::uint64_t below = word & ((std::uint64_t{1} << (8 * point)) - 1);
    word = (word & ((~std::uint64_t{0} << (8 * point)) << 8)) | (below << 8) | 0x20u;
    // A byte is a digit when its high half is 3 and adding 6 to its low half does not carry.
    const std::uint64_t high = (word & 0xf0f0f0f0f0f0f0f0u) ^ 0x3030303030303030u;
    const std::uint64_t carry =
        ((word & 0x0f0f0f0f0f0f0f0fu) + 0x0606060606060606u) & 0xf0f0f0f0f0f0f0f0u;
    const std::uint64_t odd = high | carry;
    // The high bit of every byte that is not a digit (byte 0, a blank, at least).
    const std::uint64_t others =
        (((odd & 0x7f7f7f7f7f7f7f7fu) + 0x7f7f7f7f7f7f7f7fu) | odd) & 0x8080808080808080u;
    const int lead = (63 - std::countl_zero(others)) / 8; // the digits are the bytes after it
    // Every decimal a digit; byte 0 leading seven digits could have more before the word.
    if (lead > point || lead == 0) return false;
    const auto sign = static_cast<char>((word >> (8 * lead)) & 0xff);
    if (sign != ' ' && sign != '-' && sign != '+') return false;
    if (((word ^ eight_blanks) & ((std::uint64_t{1} << (8 * lead)) - 1)) != 0) return false;
    if (!blanks_only(p, before)) return false;
    const std::uint64_t digit_bytes = ~std::uint64_t{0} << (8 * (lead + 1));
    const std::uint32_t mantissa =
        eight_digit_value((word & digit_bytes) | (0x3030303030303030u & ~digit_bytes));
    const bool negative = sign == '-';
    if (mantissa == 0) {
        value = negative ? -0.0f : 0.0f;
        return true;
    }
    // Six digits make an exact float, and so does 10^decimals: one rounding, as reading the text.
    const float magnitude = static_cast<float>(mantissa) /
                            exact_float_powers_of_ten[static_cast<std::size_t>(decimals)];
    value = negative ? -magnitude : magnitude;
    return true;
}

// Reads `field` (1 ... field_padding columns, padded) as the right-justified real the input
// files hold, from its last column leftwards: one to seven digits with at most one point among
// them, an optional sign, then nothing but blanks; the nearest float of the digits at their
// scale, as read_real_field makes it. One pass without the classes of every column. Returns false
// where the field has another shape.
[[gnu::always_inline]] inline bool read_right_justified_real(std::string_view field, int decimals,
                                                             float& value) {
    if (std::endian::native != std::endian::little) return false;
    const char* p = field.data();
    auto i = static_cast<std::ptrdiff_t>(field.size()) - 1;
    std::uint32_t mantissa = 0;
    std::uint32_t place = 1;
    int digits = 0;
    int after_point = -1; // digits after the point; -1: no point
    for (; i >= 0; --i) {
        const unsigned digit = static_cast<unsigned char>(p[i]) - unsigned{'0'};
        if (digit <= 9) {
            if (digits == 7) return false;
            mantissa += digit * place;
            place *= 10;
            ++digits;
        } else if (p[i] == '.' && after_point < 0) {
            after_point = digits;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    bool negative = false;
    if (i >= 0 && (p[i] == '-' || p[i] == '+')) negative = p[i--] == '-';
    if (!blanks_only(p, static_cast<std::size_t>(i + 1))) return false;
    const int scale = after_point >= 0 ? -after_point : -decimals;
    if (scale < -10 || scale > 0) return false;
    if (mantissa == 0) {
        value = negative ? -0.0f : 0.0f;
        return true;
    }
    // Seven digits make an exact float, and so does 10^-scale: one rounding, as reading the text.
    const float power = exact_float_powers_of_ten[static_cast<std::size_t>(-scale)];
    const float magnitude = static_cast<float>(mantissa) / power;
    value = negative ? -magnitude : magnitude;
    return true;
}

} // namespace

bool read_integer_field_padded(std::string_view field, std::int32_t& value) {
    if (!have_field_columns || field.empty() || field.size() > field_padding)
        return read_integer_field(field, value);
    // Most fields: a right-justified number of up to nine digits, read without the classes of
    // every column.
    if (RightJustified number; read_right_justified(field, 9, number)) {
        const auto magnitude = static_cast<std::int32_t>(number.magnitude);
        value = number.negative ? -magnitude : magnitude;
        return true;
    }
    const FieldColumns columns = field_columns(field);
    if (columns.filled == 0) {
        value = 0;
        return true;
    }
    const int first = columns.first;
    const int last = columns.last;
    // Blanks, a sign, one to nine digits, blanks; anything else goes the long way.
    if (first > last || last - first >= 9 ||
        (columns.digits & column_span(first, last)) != column_span(first, last))
        return read_integer_field(field, value);
    std::int32_t magnitude = 0;
    for (int i = first; i <= last; ++i)
        magnitude = magnitude * 10 + (field[static_cast<std::size_t>(i)] - '0');
    value = columns.negative ? -magnitude : magnitude;
    return true;
}

bool read_real_field_padded(std::string_view field, int decimals, float& value) {
    if (!have_field_columns || field.empty() || field.size() > field_padding)
        return read_real_field(field, decimals, value);
    // Most fields: right-justified digits with a point, read without the classes of every column.
    if (read_pointed_real(field, decimals, value) ||
        read_right_justified_real(field, decimals, value))
        return true;
    const FieldColumns columns = field_columns(field);
    if (columns.filled == 0) {
        value = 0.0f;
        return true;
    }
    const int first = columns.first;
    const int last = columns.last;
    const bool negative = columns.negative;
    // Blanks, a sign, one to seven digits with at most one point among them, blanks: the
    // digits make an exact float, and the scale is the one read_real_field takes straight.
    const unsigned span = first > last ? 0 : column_span(first, last);
    const unsigned digits = columns.digits & span;
    const unsigned points = columns.points & span;
    const int digit_count = last - first + 1 - (points != 0 ? 1 : 0);
    if (span == 0 || ((digits | points) != span) || (points & (points - 1)) != 0 ||
        digit_count == 0 || digit_count > 7)
        return read_real_field(field, decimals, value);
    // The digits and the point lie in the eight columns that end at `last`: read as one word
    // (column `last` in its highest byte, no byte before the field read), the point taken out
    // and the columns before the digits made zeros.
    const int base = last >= 7 ? last - 7 : 0;
    std::uint64_t word = load8(field.data() + base) << (8 * (7 - (last - base)));
    if (points != 0) {
        const int point = 7 - (last - std::countr_zero(points)); // its byte in the word
        const std::uint64_t below = word & ((std::uint64_t{1} << (8 * point)) - 1);
        word = (word & ((~std::uint64_t{0} << (8 * point)) << 8)) | (below << 8);
    }
    const std::uint64_t digit_bytes = ~std::uint64_t{0} << (8 * (8 - digit_count));
    const auto mantissa = static_cast<std::int32_t>(
        eight_digit_value((word & digit_bytes) | (0x3030303030303030u & ~digit_bytes)));
    const int scale = points != 0 ? -(last - std::countr_zero(points)) : -decimals;
    if (scale < -10 || scale > 10) return read_real_field(field, decimals, value);
    if (mantissa == 0) {
        value = negative ? -0.0f : 0.0f;
        return true;
    }
    const float power =
        exact_float_powers_of_ten[static_cast<std::size_t>(scale < 0 ? -scale : scale)];
    const float magnitude =
        scale < 0 ? static_cast<float>(mantissa) / power : static_cast<float>(mantissa) * power;
    value = negative ? -magnitude : magnitude;
    return true;
}

namespace {

constexpr std::array<double, 8> exact_double_powers_of_ten{1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
constexpr std::array<std::uint64_t, 8> exact_integer_powers_of_ten{
    1, 10, 100, 1'000, 10'000, 100'000, 1'000'000, 10'000'000};

// Sixty-four of one character, the source of every run of blanks or asterisks a field holds.
template <char C>
constexpr std::array<char, 64> run_of() {
    std::array<char, 64> text{};
    for (char& c : text) c = C;
    return text;
}
constexpr std::array<char, 64> blanks = run_of<' '>();
constexpr std::array<char, 64> asterisks = run_of<'*'>();

// Copies n bytes with a few fixed-size moves (overlapping where n is not a multiple)
// instead of a library call: fields and their pieces are a few bytes long.
[[gnu::always_inline]] inline void copy_short(char* out, const char* text, int n) {
    if (n >= 16) {
        int i = 0;
        for (; i + 16 < n; i += 16) std::memcpy(out + i, text + i, 16);
        std::memcpy(out + n - 16, text + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(out, text, 8);
        std::memcpy(out + n - 8, text + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(out, text, 4);
        std::memcpy(out + n - 4, text + n - 4, 4);
    } else if (n >= 2) {
        std::memcpy(out, text, 2);
        std::memcpy(out + n - 2, text + n - 2, 2);
    } else if (n == 1) {
        out[0] = text[0];
    }
}

// n copies of the character of `run` (blanks or asterisks).
[[gnu::always_inline]] inline void fill_run(char* out, int n, const std::array<char, 64>& run) {
    for (; n > 64; n -= 64, out += 64) std::memcpy(out, run.data(), 64);
    copy_short(out, run.data(), n);
}

[[gnu::always_inline]] inline bool fill_field(char* out, int width, const char* text, int length) {
    if (length > width) {
        fill_run(out, width, asterisks);
        return false;
    }
    fill_run(out, width - length, blanks);
    copy_short(out + (width - length), text, length);
    return true;
}

// "00" ... "99".
constexpr std::array<char, 200> digit_pairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Writes the last `count` decimal digits of `value` (leading zeros included) ending just before
// `end`; returns where they begin and leaves in `value` the digits before them.
[[gnu::always_inline]] inline char* put_low_digits(char* end, std::uint64_t& value, int count) {
    char* p = end;
    for (; count >= 2; count -= 2) {
        p -= 2;
        std::memcpy(p, digit_pairs.data() + static_cast<std::size_t>(value % 100) * 2, 2);
        value /= 100;
    }
    if (count == 1) {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return p;
}

// Writes every decimal digit of `value` (one at least) ending just before `end`; returns where
// they begin.
[[gnu::always_inline]] inline char* put_digits(char* end, std::uint64_t value) {
    char* p = end;
    while (value >= 100) {
        p -= 2;
        std::memcpy(p, digit_pairs.data() + static_cast<std::size_t>(value % 100) * 2, 2);
        value /= 100;
    }
    if (value >= 10) {
        p -= 2;
        std::memcpy(p, digit_pairs.data() + static_cast<std::size_t>(value) * 2, 2);
    } else {
        *--p = static_cast<char>('0' + value);
    }
    return p;
}

// A field of up to 32 columns (every field of the report layouts) is built right-justified at the
// end of a blank buffer and then copied whole: no separate runs of blanks and text.
constexpr int short_field = 32;

// The blank buffer a short field is built in: half the size of `blanks`, so half the bytes to
// copy per field.
constexpr std::array<char, short_field> blank_field = [] {
    std::array<char, short_field> text{};
    for (char& c : text) c = ' ';
    return text;
}();

// The eight decimal digits of x < 10^8, leading zeros included, as byte values 0 ... 9 with the
// most significant digit in the lowest byte (first in memory on a little-endian machine): x is
// split into two halves of four digits, each into two of two digits, each of those into two
// digits, every split one multiplication by a reciprocal acting on all lanes of the word.
[[gnu::always_inline]] inline std::uint64_t eight_digits(std::uint32_t x) {
    std::uint64_t v = (x / 10000) | (std::uint64_t{x % 10000} << 32);
    // (v * 10486) >> 20 is v / 100 for v < 10^4, and (v * 103) >> 10 is v / 10 for v < 100; the
    // masks drop what the shift brings down from the lane above.
    const std::uint64_t hundreds = ((v * 10486) >> 20) & 0x0000007f0000007fu;
    v = hundreds | ((v - hundreds * 100) << 16);
    const std::uint64_t tens = ((v * 103) >> 10) & 0x000f000f000f000fu;
    return tens | ((v - tens * 10) << 8);
}

// The two reciprocals above, checked over their whole ranges.
constexpr bool digit_reciprocals_hold() {
    for (std::uint64_t v = 0; v < 10000; ++v)
        if (((v * 10486) >> 20) != v / 100) return false;
    for (std::uint64_t v = 0; v < 100; ++v)
        if (((v * 103) >> 10) != v / 10) return false;
    return true;
}
static_assert(digit_reciprocals_hold());

[[gnu::always_inline]] inline bool copy_short_field(char* out, int width, const char* end,
                                                    const char* begin) {
    if (end - begin > width) {
        copy_short(out, asterisks.data(), width);
        return false;
    }
    copy_short(out, end - width, width);
    return true;
}

} // namespace

bool write_integer_field(char* out, int width, std::int32_t value) {
    std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    if (width <= short_field) {
        std::array<char, short_field> field = blank_field;
        char* end = field.data() + field.size();
        char* p = put_digits(end, magnitude);
        if (value < 0) *--p = '-';
        return copy_short_field(out, width, end, p);
    }
    std::array<char, 16> text;
    char* end = text.data() + text.size();
    char* p = put_digits(end, magnitude);
    if (value < 0) *--p = '-';
    // At most eleven characters: a plain copy, which also keeps the compiler from assuming the
    // short copy's sixteen-byte moves could run past `text`.
    const int length = static_cast<int>(end - p);
    if (length > width) {
        fill_run(out, width, asterisks);
        return false;
    }
    fill_run(out, width - length, blanks);
    std::memcpy(out + (width - length), p, static_cast<std::size_t>(length));
    return true;
}

bool write_real_field(char* out, int width, int decimals, float value) {
    if (decimals >= 1 && decimals <= 7 && width <= short_field) {
        // A float has 24 significant bits and 10^7 = 2^7 * 5^7 with 5^7 < 2^17, so the product
        // value * 10^d is exact in double; rounding it to an integer (ties to even) is then
        // exactly the value rounded to d decimals.
        double scaled = static_cast<double>(value) * exact_double_powers_of_ten[decimals];
        double magnitude = std::fabs(scaled);
        if (magnitude < 1e18) {
            // Below 2^52, adding and taking away 2^52 rounds to an integer, ties to even, in
            // the default rounding mode; above, the library rounding.
            double rounded =
                magnitude < 0x1p52 ? (magnitude + 0x1p52) - 0x1p52 : std::nearbyint(magnitude);
            auto units = static_cast<std::uint64_t>(rounded);
            // Digits from the right: d decimals, the point, then at least one integer digit.
            std::array<char, short_field> field = blank_field;
            char* end = field.data() + field.size();
            char* p = end - decimals;
            if (std::endian::native == std::endian::little && decimals >= 4) {
                // Four decimals or more: all of them at once. The eight digits of the fraction
                // end the field, the ones before the last d made blanks again.
                const std::uint64_t unit = exact_integer_powers_of_ten[decimals];
                const std::uint64_t whole = units / unit;
                const std::uint64_t kept = ~std::uint64_t{0} << ((8 - decimals) * 8);
                const std::uint64_t text =
                    ((eight_digits(static_cast<std::uint32_t>(units - whole * unit)) |
                      0x3030303030303030u) &
                     kept) |
                    (0x2020202020202020u & ~kept);
                std::memcpy(end - 8, &text, 8);
                units = whole;
            } else {
                p = put_low_digits(end, units, decimals);
            }
            *--p = '.';
            p = put_digits(p, units);
            if (std::signbit(value)) *--p = '-';
            return copy_short_field(out, width, end, p);
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
