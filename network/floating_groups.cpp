#include "network/floating_groups.hpp"

#include <algorithm>

namespace pipenet {

void find_node_groups(const Network& net, const NodeGroups& groups) {
    // Union-find over the nodes; each root carries its group's highest node and known head.
    const std::span<std::int32_t> parent = groups.root;
    const std::span<std::int32_t> highest = groups.highest;
    const std::span<std::int32_t> anchored = groups.anchored;
    const std::int32_t nodes = net.node_count;
    for (std::int32_t v = 1; v <= nodes; ++v) {
        parent[static_cast<std::size_t>(v)] = v;
        highest[static_cast<std::size_t>(v)] = v;
        anchored[static_cast<std::size_t>(v)] = 0;
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
            anchored[static_cast<std::size_t>(root(net.boundary_nodes.node(entry)))] = 1;
    // Every node points straight at its root from here on.
    for (std::int32_t v = 1; v <= nodes; ++v) parent[static_cast<std::size_t>(v)] = root(v);
}

std::int32_t first_floating_row(const Network& net) {
    const std::int32_t nodes = net.node_count;
    const auto size = static_cast<std::size_t>(nodes + 1);
    const NodeGroups groups{net.node_work.first(size), net.node_work.subspan(size, size),
                            net.node_work.subspan(2 * size, size)};
    find_node_groups(net, groups);
    std::int32_t first = 0;
    for (std::int32_t v = 1; v <= nodes; ++v) {
        const auto at = static_cast<std::size_t>(v);
        if (groups.root[at] != v || groups.anchored[at] != 0) continue;
        const std::int32_t top = groups.highest[at];
        if (first == 0 || top < first) first = top;
    }
    return first;
}

} // namespace pipenet
