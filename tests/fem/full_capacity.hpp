// A network at every capacity: 100 nodes, 100 pipes, 30 known heads and a half-bandwidth of 20.
#pragma once

#include "random_network.hpp"

namespace pipenet::testing {

inline GeneratedNetwork full_capacity_network() {
    GeneratedNetwork g;
    g.nodes = max_nodes;
    for (std::int32_t n = 1; n <= g.nodes; ++n) {
        g.x.push_back(100 * n);             // n metres along a line ...
        g.y.push_back(n % 2 == 0 ? 50 : 0); // ... zig-zagging by half a metre
    }
    for (std::int32_t n = 1; n < g.nodes; ++n) g.pipes.push_back({n, n + 1, 50000});
    g.pipes.push_back({max_half_band, 1, 40000}); // the widest pipe: 19 apart
    for (std::int32_t k = 0; k < max_boundary_nodes; ++k)
        g.heads.push_back({1 + 3 * k, 1000000 - 5000 * k});
    for (std::int32_t n = 2; n <= g.nodes; n += 3) g.discharges.push_back({n, -100});
    g.rho_g_over_mu = 9810000;
    g.relative_roughness = 1000000000; // 100
    g.tolerance = 100;
    g.max_iterations = 30;
    return g;
}

} // namespace pipenet::testing
