// A network of one pipe from node 1 to node 2, for the tests of the pipe laws.
#pragma once

#include "network/model.hpp"

namespace pipenet {

// The pipe's ends at (x1, y1) and (x2, y2); the law's own constant is left to the caller.
inline FixedNetwork one_pipe_network(float x1, float y1, float x2, float y2, float diameter) {
    FixedNetwork net{};
    net.node_count = 2;
    net.equation_count = 2;
    net.element_count = 1;
    net.half_band = 2;
    net.x(1) = x1;
    net.y(1) = y1;
    net.x(2) = x2;
    net.y(2) = y2;
    net.connectivity(1, 1) = 1;
    net.connectivity(2, 1) = 2;
    net.diameter(1) = diameter;
    return net;
}

} // namespace pipenet
