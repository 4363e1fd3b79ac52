// The IDs results are reported under: a map of node and pipe numbers to the IDs or numbers they
// had before an import or a renumbering.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "solve/network_result.hpp"

namespace pipenet::solve {

struct ResultIds {
    std::unordered_map<std::int32_t, std::string> nodes; // number -> ID
    std::unordered_map<std::int32_t, std::string> pipes;
    bool pipes_keep_numbers = false; // a renumbering: each pipe's ID is its own number
};

// Reads a map as CSV: either "kind,id,number" lines (node or pipe, the ID, its number), as an
// import writes them, or "old,new" lines (a node's number before and after), as a renumbering
// writes them; the header line tells which. Returns false with `error` naming the line when a
// line is malformed or a number is given twice.
bool read_result_ids(std::string_view csv, ResultIds& ids, std::string& error);

// Gives every node, pipe and pipe end of `result` its ID from the map. Returns false with
// `missing` naming the first node or pipe the map has no ID for (its ID stays empty).
bool label_results(const ResultIds& ids, NetworkResult& result, std::string& missing);

} // namespace pipenet::solve
