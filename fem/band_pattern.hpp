// Where a band's stored entries are nonzero, for the routines that leave out the work a zero
// entry would do.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "network/model.hpp"

namespace pipenet {

// True when x is a negative zero or a NaN: the two values for which subtracting a zero product
// is not the identity (-0 - (-0) is +0; a signalling NaN would come back quiet). The routines
// that leave out zero work may do so only while none of these is about.
inline bool zero_skip_unsafe(float x) {
    const auto bits = std::bit_cast<std::uint32_t>(x);
    return (bits == 0x80000000u) | ((bits & 0x7fffffffu) > 0x7f800000u);
}

// One bit per band column: bit m-1 of a row's word stands for band column m.
using BandRowBits = std::array<std::uint32_t, band_rows + 1>;
// Every column's bit must fit in a row's word: the shifts of a wider band would be undefined.
static_assert(max_half_band <= 32, "a row's word holds one bit per band column");

// Marks the entries of `band` that are not +0, within the system: for m = 1 ... min(b, n) and
// i = 1 ... n - m + 1, where band(i, m) = K(i, i+m-1) is not +0 (a negative zero and a NaN
// count as not +0), sets bit m-1 of row_bits[i] and, when column_bits is given, bit m-1 of
// (*column_bits)[i + m - 1], the row of the same entry seen from its column.
//
// band: in. n: in, 1 <= n <= band_rows. b: in, 1 <= b <= max_half_band.
// row_bits, column_bits: out, entries 0 ... n cleared first, the marks then set.
// Returns true when one of the marked entries is zero_skip_unsafe; that is looked for
// only when find_special is set (false is returned otherwise).
bool mark_band_pattern(const Band& band, std::int32_t n, std::int32_t b, BandRowBits& row_bits,
                       BandRowBits* column_bits, bool find_special);

} // namespace pipenet
