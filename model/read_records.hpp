// Fills the model from a network in the programs' fixed-column files: IDs are the node and pipe
// numbers as text, one roughness for every pipe, elevations 0, lengths from the coordinates.
#pragma once

#include <string>
#include <string_view>

#include "model/network_model.hpp"
#include "network/network_records.hpp"

namespace pipenet::model {

// Returns false with `error` set, and the model untouched, when the records do not number the
// nodes 1 ... count once each, or a pipe end, a known discharge or a known head names no node.
// Whatever the model held before is replaced; the storage of its lists is kept for the next
// network read into it.
bool model_from_records(const NetworkRecords& records, const std::string& file, Model& model,
                        std::string& error);

// Reads the text of an input file of `program` and fills the model from its records.
bool read_model(std::string_view text, Program program, const std::string& file, Model& model,
                std::string& error);

} // namespace pipenet::model
