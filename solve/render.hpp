// pipenet solve's outputs: one JSON document per network, CSV tables of every network.
#pragma once

#include <string>

#include "solve/network_result.hpp"

namespace pipenet::solve {

// The JSON document of one network on one line, ending in a line feed. Every float is written
// in the shortest decimal form that reads back to the same float; a value that is not a finite
// number is null. A labelled result's nodes and pipes also carry their IDs.
std::string json_document(const NetworkResult& result);
// The same, appended to `text` (whose capacity a caller may keep from one network to the next).
void json_document(const NetworkResult& result, std::string& text);

// The CSV tables (RFC 4180: comma-separated, CRLF line ends, fields quoted where they hold a
// comma, a quote or a line end). Each starts with its header row; each row begins with the
// network's file. With `ids`, node and pipe rows end in their IDs (empty where a result has
// none); the header and the rows of one table must be given the same `ids`.
std::string csv_nodes_header(bool ids);
std::string csv_pipes_header(bool ids);
std::string csv_passes_header();
std::string csv_nodes(const NetworkResult& result, bool ids);
std::string csv_pipes(const NetworkResult& result, bool ids);
std::string csv_passes(const NetworkResult& result);
// One row per network: its outcome, passes, largest imbalance and number of warnings.
std::string csv_outcomes_header();
std::string csv_outcome(const NetworkResult& result);
// The same rows, appended to `table` (whose capacity a caller may keep from one network to the
// next).
void csv_nodes(const NetworkResult& result, bool ids, std::string& table);
void csv_pipes(const NetworkResult& result, bool ids, std::string& table);
void csv_passes(const NetworkResult& result, std::string& table);
void csv_outcome(const NetworkResult& result, std::string& table);

// The shortest decimal text that reads back to the same float ("NaN", "Infinity", "-Infinity"
// for the values that are not finite).
std::string float_text(float value);

} // namespace pipenet::solve
