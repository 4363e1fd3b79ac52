// Groups of nodes joined to no known head: their system is singular whatever the pipes.
#pragma once

#include "network/model.hpp"

namespace pipenet {

// The first row at which exact elimination of the network's system meets a zero pivot for lack
// of a known head: over every connected group of nodes 1 ... node_count (pipes as links) that
// holds no known-head node, the lowest of the groups' highest node numbers; 0 when there is no
// such group. net: in, every pipe end and boundary node in 1 ... node_count; scratch, node_work
// (3 * (node_count + 1) entries).
std::int32_t first_floating_row(const Network& net);

} // namespace pipenet
