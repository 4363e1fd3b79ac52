#include "plot/band_pattern.hpp"

#include <algorithm>
#include <cstdlib>

#include "network/half_bandwidth.hpp"

namespace pipenet::plot {

BandPattern band_pattern_of(const NetworkRecords& records) {
    BandPattern pattern;
    pattern.equations = static_cast<std::int32_t>(records.nodes.size());
    const std::vector<std::int32_t> ends = element_ends(records);
    pattern.half_band = half_band_of(ends);
    std::int64_t widest = -1;
    for (const ElementRecord& pipe : records.elements) {
        const std::int32_t low = std::min(pipe.start_node, pipe.end_node);
        const std::int32_t high = std::max(pipe.start_node, pipe.end_node);
        if (low != high) pattern.upper.emplace_back(low, high);
        if (std::int64_t{high} - low > widest) {
            widest = std::int64_t{high} - low;
            pattern.widest_pipe = pipe.element;
            pattern.widest_start = pipe.start_node;
            pattern.widest_end = pipe.end_node;
        }
    }
    std::sort(pattern.upper.begin(), pattern.upper.end());
    pattern.upper.erase(std::unique(pattern.upper.begin(), pattern.upper.end()),
                        pattern.upper.end());
    return pattern;
}

std::string band_pattern_text(const BandPattern& pattern, std::int32_t largest_drawn) {
    std::string text = "coefficient matrix: " + std::to_string(pattern.equations) +
                       " equations, half-bandwidth " + std::to_string(pattern.half_band);
    if (pattern.widest_pipe != 0)
        text += ", set by pipe " + std::to_string(pattern.widest_pipe) + " (nodes " +
                std::to_string(pattern.widest_start) + " and " +
                std::to_string(pattern.widest_end) + ")";
    text += '\n';
    const std::int32_t n = pattern.equations;
    if (n > largest_drawn) return text;
    std::vector<std::string> rows(static_cast<std::size_t>(n),
                                  std::string(static_cast<std::size_t>(n), ' '));
    for (std::int32_t i = 0; i < n; ++i)
        for (std::int32_t j = 0; j < n; ++j)
            if (std::abs(i - j) < pattern.half_band)
                rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = '.';
    for (std::int32_t i = 0; i < n; ++i)
        rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] = 'X';
    for (const auto& [row, column] : pattern.upper) {
        rows[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column - 1)] = 'X';
        rows[static_cast<std::size_t>(column - 1)][static_cast<std::size_t>(row - 1)] = 'X';
    }
    for (std::string& row : rows) {
        while (!row.empty() && row.back() == ' ') row.pop_back();
        text += row;
        text += '\n';
    }
    return text;
}

} // namespace pipenet::plot
