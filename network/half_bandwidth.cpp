#include "network/half_bandwidth.hpp"

#include <cstdlib>
#include <limits>

namespace pipenet {

std::int32_t half_band_of(std::span<const std::int32_t> element_ends) {
    std::int64_t widest = 0;
    const std::size_t per_element = nodes_per_element;
    for (std::size_t e = 0; e + per_element <= element_ends.size(); e += per_element) {
        for (std::size_t i = 0; i + 1 < per_element; ++i) {
            for (std::size_t j = i + 1; j < per_element; ++j) {
                std::int64_t d = std::llabs(std::int64_t{element_ends[e + i]} -
                                            std::int64_t{element_ends[e + j]});
                if (d > widest) widest = d;
            }
        }
    }
    std::int64_t band = (widest + 1) * dofs_per_node;
    return band > std::numeric_limits<std::int32_t>::max()
               ? std::numeric_limits<std::int32_t>::max()
               : static_cast<std::int32_t>(band);
}

std::int32_t half_bandwidth(const Network& net) {
    // Elements beyond the storage were not stored; a run with that many is refused anyway.
    return half_band_of(net.connectivity.ends(net.stored_element_count()));
}

} // namespace pipenet
