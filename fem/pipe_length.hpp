// The length of a pipe from the coordinates of its end nodes.
#pragma once

#include <cmath>

#include "network/model.hpp"

namespace pipenet {

// The distance between the start node and the end node of pipe e, formed in double and rounded
// to float. net: in, x, y, connectivity; e: in, a stored element.
inline float pipe_length(const Network& net, std::int32_t e) {
    std::int32_t i = net.connectivity.start_node(e);
    std::int32_t j = net.connectivity.end_node(e);
    double dx = double{net.x(j)} - double{net.x(i)};
    double dy = double{net.y(j)} - double{net.y(i)};
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

} // namespace pipenet
