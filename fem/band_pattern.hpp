// Where a band's entries may be nonzero, for the routines that leave out the work a zero entry
// would do: the elimination, the imposition of known heads and the band product.
//
// Why leaving out a zero is exact. A network's band is mostly zeros that stay zero. Every
// operation on it is c = c + a * x or c = c - a * x rounded to float, and with a zero product
// (a zero a, the other factor finite) that gives back c unchanged, bit for bit, except when c is
// itself a zero (the sum of two zeros takes a sign by its own rule) or a NaN (a signalling NaN
// comes back quiet). So a routine may skip the terms whose band entry is +0 as long as
//   - no value it updates is a negative zero or a NaN (zero_skip_unsafe), and
//   - no factor it multiplies a skipped entry by is infinite or NaN,
// and where a sum may end as a zero (whose sign the skipped terms could have changed) it works
// that sum out again in full. Each routine checks these conditions as it goes and falls back to
// the full work from the first value that breaks them.
//
// Where the entries may be nonzero depends only on the pipes and the known heads, so the
// pattern is worked out once per network and shared by every solve and every pass; the values,
// and with them the checks above, stay dynamic. A pattern may mark entries that are zero (the
// routines then do a little needless exact work) but never leaves out one that is not.
#pragma once

#include <bit>
#include <cstdint>

#include "network/model.hpp"

namespace pipenet {

// True when x is a negative zero or a NaN: the two values for which subtracting (or adding) a
// zero product is not the identity.
inline bool zero_skip_unsafe(float x) {
    const auto bits = std::bit_cast<std::uint32_t>(x);
    return (bits == 0x80000000u) | ((bits & 0x7fffffffu) > 0x7f800000u);
}

// The words of row i of one of the pattern's bit sets.
inline const std::uint64_t* pattern_row(std::span<const std::uint64_t> bits,
                                        std::int32_t words_per_row, std::int32_t i) {
    return bits.data() + static_cast<std::ptrdiff_t>(i) * words_per_row;
}
inline std::uint64_t* pattern_row(std::span<std::uint64_t> bits, std::int32_t words_per_row,
                                  std::int32_t i) {
    return bits.data() + static_cast<std::ptrdiff_t>(i) * words_per_row;
}

// Calls visit(m) for every band column m from `first` (1 or 2) on whose bit is set in one row's
// words, m increasing.
template <class Visit>
[[gnu::always_inline]] inline void for_each_marked_column(const std::uint64_t* row,
                                                          std::int32_t words_per_row,
                                                          std::int32_t first, Visit&& visit) {
    std::uint64_t bits = row[0] & (~std::uint64_t{0} << (first - 1));
    for (std::int32_t w = 0;;) {
        while (bits != 0) {
            visit(w * 64 + std::countr_zero(bits) + 1);
            bits &= bits - 1;
        }
        if (++w >= words_per_row) return;
        bits = row[w];
    }
}

// Works out net.pattern from the pipes and the known heads. Requires a network that has passed
// check_network, half_band >= 1, and a pattern sized for equation_count rows of
// pattern_words(half_band) words. net: in, equation_count, half_band, element_count,
// connectivity, boundary_nodes; out, pattern.
void find_band_pattern(Network& net);

// True when one of the entries of rows 1 ... n, columns 1 ... min(b, n) that lie inside the
// system (band(i, m) with i + m - 1 <= n) is zero_skip_unsafe. band: in; n >= 1, b >= 1.
bool band_has_unsafe_entry(BandView band, std::int32_t n, std::int32_t b);

} // namespace pipenet
