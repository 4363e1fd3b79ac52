// Band patterns for bands a test writes by hand, where find_band_pattern would take the pipes.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "fem/band_pattern.hpp"
#include "network/model.hpp"

namespace pipenet {

// The whole band storage of the programs' fixed block, inside the system or not.
inline std::span<float> band_storage(FixedNetwork& net) {
    return {net.band.data(), static_cast<std::size_t>(band_rows) * max_half_band};
}

// Marks every entry inside the band: a cover of any values.

inline void mark_every_entry(Network& net) {
    const std::int32_t n = net.equation_count;
    const std::int32_t b = net.half_band;
    const std::int32_t words = net.pattern.words_per_row;
    auto mark_row = [&](std::span<std::uint64_t> bits, std::int32_t i, std::int32_t columns) {
        std::uint64_t* row = bits.data() + static_cast<std::ptrdiff_t>(i) * words;
        std::fill_n(row, words, 0);
        for (std::int32_t m = 1; m <= columns; ++m)
            row[(m - 1) / 64] |= std::uint64_t{1} << ((m - 1) % 64);
    };
    for (std::int32_t i = 1; i <= n; ++i) {
        const std::int32_t right = std::min(b, n - i + 1);
        mark_row(net.pattern.assembled, i, right);
        mark_row(net.pattern.imposed, i, right);
        mark_row(net.pattern.factor, i, right);
        mark_row(net.pattern.assembled_columns, i, std::min(b, i));
    }
}

// The pattern of a network whose pipes join the ends of every off-diagonal entry of the band that
// is not +0, with no known heads: the sparse pattern an analysis would have for that band. Falls
// back to every entry when there are more such entries than the network holds pipes.
inline void mark_band_entries(Network& net) {
    std::int32_t pipes = 0;
    for (std::int32_t i = 1; i <= net.equation_count; ++i) {
        for (std::int32_t m = 2; m <= net.half_band && i + m - 1 <= net.equation_count; ++m) {
            if (std::bit_cast<std::uint32_t>(net.band(i, m)) == 0) continue;
            if (!net.connectivity.holds(++pipes)) {
                mark_every_entry(net);
                return;
            }
            net.connectivity(1, pipes) = i;
            net.connectivity(2, pipes) = i + m - 1;
        }
    }
    const std::int32_t pipe_count = net.element_count;
    const std::int32_t head_count = net.known_head_count;
    net.element_count = pipes;
    net.known_head_count = 0;
    find_band_pattern(net);
    net.element_count = pipe_count;
    net.known_head_count = head_count;
}

} // namespace pipenet
