#include "fem/band_pattern.hpp"

#include <algorithm>
#include <cstring>

namespace pipenet {

namespace {

void set_bit(std::uint64_t* row, std::int32_t m) {
    row[(m - 1) / 64] |= std::uint64_t{1} << ((m - 1) % 64);
}

void clear_bit(std::uint64_t* row, std::int32_t m) {
    row[(m - 1) / 64] &= ~(std::uint64_t{1} << ((m - 1) % 64));
}

// target |= source shifted down by s bits (bit s of source lands on bit 0 of target).
void or_shifted_down(std::uint64_t* target, const std::uint64_t* source, std::int32_t words,
                     std::int32_t s) {
    const std::int32_t word_shift = s / 64;
    const std::int32_t bit_shift = s % 64;
    for (std::int32_t w = 0; w + word_shift < words; ++w) {
        std::uint64_t bits = source[w + word_shift] >> bit_shift;
        if (bit_shift != 0 && w + word_shift + 1 < words)
            bits |= source[w + word_shift + 1] << (64 - bit_shift);
        target[w] |= bits;
    }
}

// Eight entries of one band column at a time, as their bit patterns.
using Lanes = std::uint32_t __attribute__((vector_size(32)));
using SignedLanes = std::int32_t __attribute__((vector_size(32)));
constexpr std::int32_t lanes = 8;

// Sets in `unsafe` the lanes of eight entries that are a negative zero or a NaN.
[[gnu::always_inline]] inline void mark_unsafe_lanes(const float* column, Lanes& unsafe) {
    Lanes entries;
    std::memcpy(&entries, column, sizeof entries);
    const Lanes magnitude = entries & 0x7fffffffu;
    unsafe |= reinterpret_cast<Lanes>(entries == 0x80000000u) |
              reinterpret_cast<Lanes>(reinterpret_cast<SignedLanes>(magnitude) > 0x7f800000);
}

[[gnu::always_inline]] inline bool unsafe_steps(BandView band, std::int32_t n, std::int32_t b) {
    Lanes unsafe{};
    for (std::int32_t m = 1; m <= b && m <= n; ++m) {
        const float* column = &band(1, m);
        const std::int32_t count = n - m + 1;
        if (count < lanes) {
            for (std::int32_t i = 0; i < count; ++i)
                if (zero_skip_unsafe(column[i])) return true;
            continue;
        }
        std::int32_t i = 0;
        for (; i + lanes <= count; i += lanes) mark_unsafe_lanes(column + i, unsafe);
        // The last block overlaps the one before: looking at an entry twice is harmless.
        if (i < count) mark_unsafe_lanes(column + count - lanes, unsafe);
    }
    for (std::int32_t l = 0; l < lanes; ++l)
        if (unsafe[l] != 0) return true;
    return false;
}

bool unsafe_portable(BandView band, std::int32_t n, std::int32_t b) {
    return unsafe_steps(band, n, b);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same with AVX2 where the processor has it: one instruction per block step instead of two.
[[gnu::target("avx2")]] bool unsafe_avx2(BandView band, std::int32_t n, std::int32_t b) {
    return unsafe_steps(band, n, b);
}
#endif

} // namespace

void find_band_pattern(Network& net) {
    const std::int32_t n = net.equation_count;
    const std::int32_t words = net.pattern.words_per_row;
    const auto row_words = static_cast<std::size_t>(words);
    BandPattern& p = net.pattern;
    const std::size_t used = static_cast<std::size_t>(n + 1) * row_words;
    std::fill_n(p.assembled.begin(), used, 0);
    std::fill_n(p.assembled_columns.begin(), used, 0);
    for (std::int32_t i = 1; i <= n; ++i) {
        set_bit(pattern_row(p.assembled, words, i), 1);
        set_bit(pattern_row(p.assembled_columns, words, i), 1);
    }
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        const std::int32_t a = net.connectivity.start_node(e);
        const std::int32_t b = net.connectivity.end_node(e);
        const std::int32_t low = std::min(a, b);
        const std::int32_t high = std::max(a, b);
        set_bit(pattern_row(p.assembled, words, low), high - low + 1);
        set_bit(pattern_row(p.assembled_columns, words, high), high - low + 1);
    }

    // The known heads leave only the diagonal in their rows and columns.
    std::copy_n(p.assembled.begin(), used, p.imposed.begin());
    for (std::int32_t entry = 1; entry <= net.stored_boundary_count(); ++entry) {
        if (net.boundary_nodes.flag(entry) != 0) continue;
        const std::int32_t q = net.boundary_nodes.node(entry);
        std::uint64_t* row = pattern_row(p.imposed, words, q);
        std::fill_n(row, row_words, 0);
        set_bit(row, 1);
        for_each_marked_column(
            pattern_row(p.assembled_columns, words, q), words, 2,
            [&](std::int32_t m) { clear_bit(pattern_row(p.imposed, words, q - m + 1), m); });
    }
    std::copy_n(p.imposed.begin(), used, p.factor.begin());

    // The fill of the elimination: the update from row k reaches K(k+s, k+t) for every pair
    // s <= t of row k's entries, that is row k's bits from s on, shifted down by s, into row k+s.
    for (std::int32_t k = 1; k < n; ++k) {
        const std::uint64_t* row = pattern_row(p.factor, words, k);
        for_each_marked_column(row, words, 2, [&](std::int32_t m) {
            or_shifted_down(pattern_row(p.factor, words, k + m - 1), row, words, m - 1);
        });
    }
}

bool band_has_unsafe_entry(BandView band, std::int32_t n, std::int32_t b) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) return unsafe_avx2(band, n, b);
#endif
    return unsafe_portable(band, n, b);
}

} // namespace pipenet
