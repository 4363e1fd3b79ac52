#include "fem/node_groups.hpp"

namespace pipenet {

void find_node_groups(const Network& net, NodeGroups& groups) {
    // Union-find over the nodes; each root carries its group's highest node and known head.
    auto& parent = groups.root;
    auto& highest = groups.highest;
    auto& anchored = groups.anchored;
    const std::int32_t nodes = net.node_count;
    for (std::int32_t v = 1; v <= nodes; ++v) {
        parent[static_cast<std::size_t>(v)] = v;
        highest[static_cast<std::size_t>(v)] = v;
        anchored[static_cast<std::size_t>(v)] = false;
    }
    auto root = [&](std::int32_t v) {
        while (parent[static_cast<std::size_t>(v)] != v) {
            auto& p = parent[static_cast<std::size_t>(v)];
            p = parent[static_cast<std::size_t>(p)];
            v = p;
        }
        return v;
    };
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        std::int32_t a = root(net.connectivity.start_node(e));
        std::int32_t b = root(net.connectivity.end_node(e));
        if (a == b) continue;
        parent[static_cast<std::size_t>(b)] = a;
        if (highest[static_cast<std::size_t>(b)] > highest[static_cast<std::size_t>(a)])
            highest[static_cast<std::size_t>(a)] = highest[static_cast<std::size_t>(b)];
    }
    for (std::int32_t entry = 1; entry <= net.stored_boundary_count(); ++entry)
        if (net.boundary_nodes.flag(entry) == 0)
            anchored[static_cast<std::size_t>(root(net.boundary_nodes.node(entry)))] = true;
    // Every node points straight at its root from here on.
    for (std::int32_t v = 1; v <= nodes; ++v) parent[static_cast<std::size_t>(v)] = root(v);
}

} // namespace pipenet
