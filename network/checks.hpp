// The checks made on the network read, before anything is computed.
#pragma once

#include "network/faults.hpp"
#include "network/model.hpp"

namespace pipenet {

// The first check, in this order, that fails: node_count, element_count and known_head_count
// against their capacities, half_band against max_half_band; then a network without nodes; then
// every node record, element record, pipe end, known-discharge record and known-head record
// against 1 ... its count. No fault when the network passes them all, so that every later index
// lies inside the storage.
Fault check_network(const Network& net);

} // namespace pipenet
