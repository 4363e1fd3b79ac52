// The half-bandwidth of the node numbering: the widest pipe, in node numbers, plus one.
#pragma once

#include "network/model.hpp"

namespace pipenet {

// (largest |start node - end node| over the stored pipes + 1) * dofs_per_node, every pipe read
// counting. net: in, element_count and connectivity. A difference too large for 32 bits
// saturates, so that the capacity check refuses it.
std::int32_t half_bandwidth(const Network& net);

} // namespace pipenet
