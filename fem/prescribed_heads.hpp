// Imposes the known heads on the assembled system K h = load.
#pragma once

#include "network/model.hpp"

namespace pipenet {

// The known heads of a network: entries 1 ... count of the boundary list, and the head of each
// node.
struct KnownHeads {
    BoundaryNodes boundary_nodes;
    std::int32_t count = 0;
    Vec1<const float> prescribed_head;
};

// For each boundary entry in list order whose flag is 0, with q its node and v its known head:
// moves column q of K to the right-hand side (row part, then column part, band column by band
// column), clears row and column q, and sets band(q, 1) = 1, load(q) = v. Each update of load is
// one float rounding of load(n) - band * v.
// band: in-out, rows 1 ... n, columns 1 ... b, as assembled (no earlier call has changed it).
// n: in, n >= 1. b: in, b >= 1.
// pattern: in, its assembled marks and columns cover every entry of the band that is not +0.
// heads: in, every boundary node in 1 ... n. load: in-out, the right-hand side, n entries.
void apply_prescribed_heads(BandView band, std::int32_t n, std::int32_t b,
                            const BandPattern& pattern, const KnownHeads& heads, Vec1<float> load);

} // namespace pipenet
