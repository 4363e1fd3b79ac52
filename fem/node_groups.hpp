// The connected groups of a network's nodes, pipes as links, and which of them hold a known head.
#pragma once

#include <array>
#include <cstdint>

#include "network/model.hpp"

namespace pipenet {

// Every node's group, named by one node of it (the root), with each root's highest node and
// whether the group holds a node with a known head. Entries 1 ... node_count are set.
struct NodeGroups {
    std::array<std::int32_t, max_nodes + 1> root{};
    std::array<std::int32_t, max_nodes + 1> highest{}; // of a root: the group's highest node
    std::array<bool, max_nodes + 1> anchored{};        // of a root: a known head in the group
};

// Fills groups from the pipes and the boundary list. net: in; every pipe end and boundary node
// lies in 1 ... node_count <= max_nodes.
void find_node_groups(const Network& net, NodeGroups& groups);

} // namespace pipenet
