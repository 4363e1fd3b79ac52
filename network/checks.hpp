// The checks a driver makes on the network read, before anything is computed.
#pragma once

#include "network/model.hpp"
#include "report/record_io.hpp"

namespace pipenet {

// Checks, in this order, and writes the message of the first that fails: node_count,
// element_count and known_head_count against their capacities, half_band against
// max_half_band; then a network without nodes; then every node record, element record, pipe end,
// known-discharge record and known-head record against 1 ... its count. Returns true when the
// network passes them all, so that every later index lies inside the storage.
bool check_network(RecordIo& io, const Network& net);

} // namespace pipenet
