// Renumbering the nodes of a network to make its half-bandwidth small: reverse Cuthill-McKee
// orderings of each connected group of nodes, from several starting nodes, the best one kept.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "network/network_records.hpp"

namespace pipenet {

struct Renumbering {
    // new_number[old]: the new number of node `old`, 1 ... node_count (entry 0 unused).
    std::vector<std::int32_t> new_number;
    std::int32_t half_band_before = 0;
    std::int32_t half_band_after = 0;
};

// A numbering of nodes 1 ... node_count whose half-bandwidth (half_band_of) is the smallest
// found, and never larger than that of the numbering as it is: when no ordering tried does
// better, every node keeps its number. element_ends: as half_band_of takes them, every entry in
// 1 ... node_count.
Renumbering renumber_nodes(std::int32_t node_count, std::span<const std::int32_t> element_ends);

// Gives every node record, pipe end, known discharge and known head its new number, and puts
// the node records in the order of their new numbers. Pipe numbers stay as they are. The records
// must pass check_node_numbers.
void apply_renumbering(NetworkRecords& records, const Renumbering& renumbering);

// A whole input file renumbered: the file in the same layouts with the new node numbers, and the
// map of old to new numbers as CSV ("old,new" lines after a header line).
struct RenumberedInput {
    NetworkRecords records; // as written to text
    std::string text;
    std::string map_csv;
    std::int32_t half_band_before = 0;
    std::int32_t half_band_after = 0;
};

// Reads an input file, renumbers its nodes and writes it again. Returns false with `error` set
// when the file cannot be read, names nodes outside 1 ... count, or a value does not fit.
bool renumber_input(std::string_view text, Program program, RenumberedInput& result,
                    std::string& error);

} // namespace pipenet
