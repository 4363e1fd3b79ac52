// Reads a network from the text of an input file, in memory, with no report.
#pragma once

#include <string_view>

#include "network/model.hpp"
#include "network/read_input.hpp"

namespace pipenet {

// Reads `text` laid out as `program`'s input file into net, which nothing has been read into
// yet; records whose numbers lie outside net's storage are read but not stored. Returns 0, or the
// failure number of the record layer when the text does not hold the network's records (a record
// missing, a field that is not a number).
int read_network_text(std::string_view text, Program program, Network& net);

} // namespace pipenet
