// The results block that ends the report of a successful analysis.
#pragma once

#include "network/model.hpp"
#include "report/record_io.hpp"

namespace pipenet {

// Half a unit in the last decimal of the nodal discharge column: a smaller difference between
// two nodal discharges does not show in the report.
inline constexpr double nodal_discharge_resolution = 0.5e-4;

// Writes the results heading, the head and the nodal discharge of every node 1 ... node_count,
// the discharge of every pipe 1 ... element_count, and the closing line.
// net: in, the counts, member_discharge and nodal_discharge. heads: in, one head per node.
void print_results(RecordIo& io, const Network& net, Vec1<const float> heads);

} // namespace pipenet
