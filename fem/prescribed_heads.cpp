#include "fem/prescribed_heads.hpp"

namespace pipenet {

void apply_prescribed_heads(Network& net, Vec1<float> load) {
    for (std::int32_t entry = 1; entry <= net.stored_boundary_count(); ++entry) {
        if (net.boundary_nodes.flag(entry) != 0) continue;
        std::int32_t q = (net.boundary_nodes.node(entry) - 1) * dofs_per_node + 1;
        double v = net.prescribed_head(q);
        for (std::int32_t m = 2; m <= net.half_band; ++m) {
            std::int32_t below = q + m - 1; // band(q, m) is K(q, below)
            if (below <= net.equation_count) {
                load(below) = static_cast<float>(double{load(below)} - double{net.band(q, m)} * v);
                net.band(q, m) = 0.0f;
            }
            std::int32_t above = q - m + 1; // band(above, m) is K(above, q)
            if (above >= 1) {
                load(above) =
                    static_cast<float>(double{load(above)} - double{net.band(above, m)} * v);
                net.band(above, m) = 0.0f;
            }
        }
        net.band(q, 1) = 1.0f;
        load(q) = static_cast<float>(v);
    }
}

} // namespace pipenet
