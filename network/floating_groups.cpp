#include "network/floating_groups.hpp"

#include <algorithm>

namespace pipenet {

std::int32_t first_floating_row(const Network& net) {
    // Union-find over the nodes; each group's root carries its highest node and whether it
    // holds a known head.
    const std::int32_t nodes = net.node_count;
    const auto size = static_cast<std::size_t>(nodes + 1);
    std::span<std::int32_t> parent = net.node_work.first(size);
    std::span<std::int32_t> highest = net.node_work.subspan(size, size);
    std::span<std::int32_t> anchored = net.node_work.subspan(2 * size, size);
    std::fill(anchored.begin(), anchored.end(), 0);
    for (std::int32_t v = 1; v <= nodes; ++v) {
        parent[static_cast<std::size_t>(v)] = v;
        highest[static_cast<std::size_t>(v)] = v;
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
    std::int32_t first = 0;
    for (std::int32_t v = 1; v <= nodes; ++v) {
        if (root(v) != v || anchored[static_cast<std::size_t>(v)] != 0) continue;
        std::int32_t top = highest[static_cast<std::size_t>(v)];
        if (first == 0 || top < first) first = top;
    }
    return first;
}

} // namespace pipenet
