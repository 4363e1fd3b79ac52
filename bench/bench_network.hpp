// A full-capacity network for the benchmarks: 100 nodes on a 10 x 10 grid, 100 pipes whose
// widest spans 19 node numbers (half-bandwidth 20) and 30 nodes with known head.
#pragma once

#include "network/model.hpp"

namespace pipenet::bench {

// Fills net with the network above: counts, coordinates, pipes, diameters, known heads and the
// nodal discharges in rhs; half_band is set to 20.
void build_full_network(FixedNetwork& net);

// Adds every pipe into the band with a laminar-like conductance, works out the band pattern,
// imposes the known heads and leaves the right-hand side in rhs: a system ready for
// solve_banded.
void build_full_system(FixedNetwork& net);

} // namespace pipenet::bench
