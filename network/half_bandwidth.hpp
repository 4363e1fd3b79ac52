// The half-bandwidth of the node numbering: the widest pipe, in node numbers, plus one.
#pragma once

#include <cstdint>
#include <span>

#include "network/model.hpp"

namespace pipenet {

// The half-bandwidth of a numbering: (largest |start node - end node| + 1) * dofs_per_node.
// element_ends: the nodes of every pipe, nodes_per_element entries a pipe, pipe after pipe (the
// layout of Connectivity). A difference too large for 32 bits saturates, so that the capacity
// check refuses it.
std::int32_t half_band_of(std::span<const std::int32_t> element_ends);

// half_band_of the stored pipes, every pipe read counting. net: in, element_count and
// connectivity.
std::int32_t half_bandwidth(const Network& net);

} // namespace pipenet
