#include "bench_network.hpp"

#include <cmath>

#include "fem/assemble.hpp"
#include "fem/network_kernels.hpp"

namespace pipenet::bench {

void build_full_network(FixedNetwork& net) {
    net.clear();
    constexpr std::int32_t side = 10;
    net.node_count = side * side;
    net.equation_count = net.node_count;
    for (std::int32_t n = 1; n <= net.node_count; ++n) {
        net.x(n) = static_cast<float>((n - 1) % side) * 100.0f;
        net.y(n) = static_cast<float>((n - 1) / side) * 100.0f;
    }
    // A comb: every row is a chain and the first column joins the rows (99 pipes); the last
    // pipe closes a loop and is the widest (19 node numbers apart).
    std::int32_t e = 0;
    auto add_pipe = [&](std::int32_t a, std::int32_t b) {
        ++e;
        net.connectivity(1, e) = a;
        net.connectivity(2, e) = b;
        net.diameter(e) = 0.02f + 0.005f * static_cast<float>(e % 4);
    };
    for (std::int32_t r = 0; r < side; ++r)
        for (std::int32_t c = 1; c < side; ++c) add_pipe(r * side + c, r * side + c + 1);
    for (std::int32_t r = 0; r + 1 < side; ++r) add_pipe(r * side + 1, (r + 1) * side + 1);
    add_pipe(36, 55);
    net.element_count = e;
    net.half_band = max_half_band;
    net.known_head_count = max_boundary_nodes;
    for (std::int32_t i = 1; i <= max_boundary_nodes; ++i) {
        std::int32_t node = (i * 37) % net.node_count + 1;
        net.boundary_nodes.node(i) = node;
        net.boundary_nodes.flag(i) = 0;
        net.prescribed_head(node) = 40.0f + static_cast<float>(i % 7);
    }
    // -0.001f * 0.0f would be a negative zero, which turns the solver's zero skip off: every
    // fifth node draws nothing and holds +0.
    for (std::int32_t n = 1; n <= net.node_count; ++n)
        net.rhs(n) = static_cast<float>(-(n % 5)) * 0.001f;
}

void build_full_system(FixedNetwork& net) {
    build_full_network(net);
    assemble_global(net, net.rhs, [](std::int32_t el, Network& n, Vec1<const float>) {
        double dx = double{n.x(n.connectivity.end_node(el))} - n.x(n.connectivity.start_node(el));
        double dy = double{n.y(n.connectivity.end_node(el))} - n.y(n.connectivity.start_node(el));
        double d = n.diameter(el);
        auto c = static_cast<float>(d * d * d * d * 1.0e5 / std::sqrt(dx * dx + dy * dy));
        n.element_matrix(1, 1) = c;
        n.element_matrix(2, 1) = -c;
        n.element_matrix(1, 2) = -c;
        n.element_matrix(2, 2) = c;
    });
    find_band_pattern(net);
    apply_prescribed_heads(net, net.rhs);
}

} // namespace pipenet::bench
