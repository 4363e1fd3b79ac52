#include "fem/prescribed_heads.hpp"

#include "fem/band_pattern.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace pipenet {

namespace {

std::uint32_t bits_of(float x) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// Moves one band entry to its load entry, clearing it: target -= entry * v, one rounding.
//
// The load entries are known to hold no negative zero and no NaN and v to be finite, so a zero
// band entry would subtract a zero and leave its load entry as it is (fem/band_pattern.hpp):
// the subtraction is left out, and a band entry that is already +0 is not rewritten. Returns false
// when the load entry has become unsafe (a negative zero through underflow).
inline bool move_entry(float& entry, float& target, double v) {
    std::uint32_t bits = bits_of(entry);
    if (bits == 0) return true;
    bool safe = true;
    if (bits != 0x80000000u) {
        target = static_cast<float>(double{target} - double{entry} * v);
        safe = !zero_skip_unsafe(target);
    }
    entry = 0.0f;
    return safe;
}

// Moves the entries of one band line (stride apart) to consecutive load entries (step apart),
// clearing them, every one: load[t * step] -= line[t * stride] * v for t = 1 ... count.
inline void move_line(float* line, std::ptrdiff_t stride, float* load, std::ptrdiff_t step,
                      std::int32_t count, double v) {
    for (std::int32_t t = 1; t <= count; ++t) {
        float& target = load[t * step];
        target = static_cast<float>(double{target} - double{line[t * stride]} * v);
        line[t * stride] = 0.0f;
    }
}

} // namespace

void apply_prescribed_heads(BandView band, std::int32_t n, std::int32_t b,
                            const BandPattern& pattern, const KnownHeads& heads, Vec1<float> load) {
    std::uint32_t unsafe_loads = 0; // no branch per entry: the loop vectorizes
    for (std::int32_t i = 1; i <= n; ++i) unsafe_loads |= zero_skip_unsafe(load(i));
    bool skip_zeros = unsafe_loads == 0;
    const std::int32_t words = pattern.words_per_row;
    const std::ptrdiff_t ld = band.leading_dimension();
    for (std::int32_t entry = 1; entry <= heads.count; ++entry) {
        if (heads.boundary_nodes.flag(entry) != 0) continue;
        std::int32_t q = (heads.boundary_nodes.node(entry) - 1) * dofs_per_node + 1;
        double v = heads.prescribed_head(q);
        skip_zeros = skip_zeros && std::isfinite(v);
        // Within one entry every load entry takes at most one update (the row part reaches the
        // rows below q, the column part those above) and every band entry is read once, so the
        // row part and the column part may run one after the other, and the safety of the load
        // entries only needs checking once the entry is done.
        bool safe = false;
        if (skip_zeros) {
            // Only the entries the pattern marks in row q and column q can be other than +0
            // (fem/band_pattern.hpp). band(q, m) is K(q, q + m - 1); band(q - m + 1, m) is
            // K(q - m + 1, q).
            safe = true;
            for_each_marked_column(
                pattern_row(pattern.assembled, words, q), words, 2,
                [&](std::int32_t m) { safe = move_entry(band(q, m), load(q + m - 1), v) && safe; });
            for_each_marked_column(
                pattern_row(pattern.assembled_columns, words, q), words, 2, [&](std::int32_t m) {
                    safe = move_entry(band(q - m + 1, m), load(q - m + 1), v) && safe;
                });
        } else {
            const std::int32_t last = b - 1;
            const std::int32_t rows_below = n - q < last ? n - q : last;
            const std::int32_t rows_above = q - 1 < last ? q - 1 : last;
            float* diagonal = &band(q, 1);
            float* load_q = &load(q);
            // band(q, 1 + t) is K(q, q + t); band(q - t, 1 + t), t * (ld - 1) further on in the
            // storage, is K(q - t, q).
            move_line(diagonal, ld, load_q, 1, rows_below, v);
            move_line(diagonal, ld - 1, load_q, -1, rows_above, v);
        }
        band(q, 1) = 1.0f;
        load(q) = static_cast<float>(v);
        skip_zeros = safe && !zero_skip_unsafe(load(q));
    }
}

} // namespace pipenet
