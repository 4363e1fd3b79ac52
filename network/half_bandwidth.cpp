#include "network/half_bandwidth.hpp"

#include <cstdlib>
#include <limits>

namespace pipenet {

std::int32_t half_bandwidth(const Network& net) {
    std::int64_t widest = 0;
    // Elements beyond the capacity were not stored; a run with that many is refused anyway.
    std::int32_t stored = net.element_count < max_elements ? net.element_count : max_elements;
    for (std::int32_t e = 1; e <= stored; ++e) {
        for (std::int32_t i = 1; i <= nodes_per_element - 1; ++i) {
            for (std::int32_t j = i + 1; j <= nodes_per_element; ++j) {
                std::int64_t d = std::llabs(std::int64_t{net.connectivity(i, e)} -
                                            std::int64_t{net.connectivity(j, e)});
                if (d > widest) widest = d;
            }
        }
    }
    std::int64_t band = (widest + 1) * dofs_per_node;
    return band > std::numeric_limits<std::int32_t>::max()
               ? std::numeric_limits<std::int32_t>::max()
               : static_cast<std::int32_t>(band);
}

} // namespace pipenet
