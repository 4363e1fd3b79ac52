// The half-bandwidth of the node numbering: the widest pipe, in node numbers, plus one.
#pragma once

#include "network/model.hpp"
#include "report/record_io.hpp"

namespace pipenet {

// Sets net.half_band to (largest |start node - end node| over the pipes + 1) * dofs_per_node,
// every pipe read counting, and writes the half-bandwidth line.
// net: in, element_count and connectivity; out, half_band. A difference too large for 32 bits
// saturates, so that the capacity check refuses it.
void half_bandwidth(RecordIo& io, Network& net);

} // namespace pipenet
