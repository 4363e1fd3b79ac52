// Imposes the known heads on the assembled system K h = load.
#pragma once

#include "network/model.hpp"

namespace pipenet {

// For each boundary entry in list order whose flag is 0, with q its node and v its known head:
// moves column q of K to the right-hand side (row part, then column part, band column by band
// column), clears row and column q, and sets band(q, 1) = 1, load(q) = v. Each update of load is
// one float rounding of load(n) - band * v.
// net: in-out, band; in, prescribed_head, boundary_nodes, known_head_count, equation_count,
// half_band. load: in-out, the right-hand side. Requires every boundary node in
// 1 ... equation_count and a band no earlier call has modified.
void apply_prescribed_heads(Network& net, Vec1<float> load);

} // namespace pipenet
