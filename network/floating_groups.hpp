// Groups of nodes joined to no known head: their system is singular whatever the pipes.
#pragma once

#include <cstdint>
#include <span>

#include "network/model.hpp"

namespace pipenet {

// Every node's group, named by one node of it (the root), with each root's highest node and
// whether the group holds a node with a known head (1) or not (0): views of storage the caller
// keeps, entries 0 ... node_count each.
struct NodeGroups {
    std::span<std::int32_t> root;
    std::span<std::int32_t> highest;  // of a root: the group's highest node
    std::span<std::int32_t> anchored; // of a root: 1 when a known head is in the group
};

// Fills groups from the pipes and the boundary list; every node points straight at its root.
// net: in, every pipe end and boundary node in 1 ... node_count.
void find_node_groups(const Network& net, const NodeGroups& groups);

// The first row at which exact elimination of the network's system meets a zero pivot for lack
// of a known head: over every connected group of nodes 1 ... node_count (pipes as links) that
// holds no known-head node, the lowest of the groups' highest node numbers; 0 when there is no
// such group. net: in, every pipe end and boundary node in 1 ... node_count; scratch, node_work
// (3 * (node_count + 1) entries).
std::int32_t first_floating_row(const Network& net);

} // namespace pipenet
