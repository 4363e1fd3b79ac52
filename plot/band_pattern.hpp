// The nonzero pattern of the coefficient matrix (one equation per node, an entry for each pair
// of nodes a pipe joins) and the pipe that sets its half-bandwidth.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "network/network_records.hpp"

namespace pipenet::plot {

struct BandPattern {
    std::int32_t equations = 0;
    std::int32_t half_band = 0;   // columns from the diagonal out, the diagonal counting
    std::int32_t widest_pipe = 0; // the first pipe that sets it; 0 without pipes
    std::int32_t widest_start = 0;
    std::int32_t widest_end = 0;
    // The distinct off-diagonal entries above the diagonal, as (row, column), row < column.
    std::vector<std::pair<std::int32_t, std::int32_t>> upper;
};

// records: nodes numbered 1 ... n (check_node_numbers holds).
BandPattern band_pattern_of(const NetworkRecords& records);

// The pattern as text: a summary line, and for up to `largest_drawn` equations the matrix, one
// line a row, 'X' an entry, '.' a zero inside the band, ' ' outside it.
std::string band_pattern_text(const BandPattern& pattern, std::int32_t largest_drawn = 60);

} // namespace pipenet::plot
