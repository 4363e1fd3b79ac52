// The band kernels applied to a network's own band, right-hand side, pattern and scratch: what
// an analysis of one network calls. The kernels themselves take views.
#pragma once

#include "fem/band_pattern.hpp"
#include "fem/band_product.hpp"
#include "fem/prescribed_heads.hpp"
#include "fem/solve_banded.hpp"
#include "network/model.hpp"

namespace pipenet {

// The known heads of the network, as apply_prescribed_heads takes them.
inline KnownHeads known_heads(const Network& net) {
    return {net.boundary_nodes, net.stored_boundary_count(), net.prescribed_head};
}

// apply_prescribed_heads on net.band, with net.pattern worked out (find_band_pattern).
inline void apply_prescribed_heads(Network& net, Vec1<float> load) {
    apply_prescribed_heads(net.band, net.equation_count, net.half_band, net.pattern,
                           known_heads(net), load);
}

// solve_banded of net.band against rhs, with net.pattern worked out and net.solver_work as
// scratch.
inline std::int32_t solve_banded(Network& net, Vec1<float> rhs, float threshold,
                                 std::int32_t floating_row) {
    return solve_banded(net.band, rhs, net.equation_count, net.half_band, net.pattern,
                        net.solver_work, threshold, floating_row);
}

// band_product of net.band, with net.pattern worked out.
inline void band_product(const Network& net, Vec1<const float> x, Vec1<float> y) {
    band_product(net.band, net.equation_count, net.half_band, net.pattern, x, y);
}

} // namespace pipenet
