// The frame shared by both pipe laws: the discharge of every pipe and the nodal balance.
#pragma once

#include <concepts>
#include <utility>

#include "network/model.hpp"

namespace pipenet {

// The law's contract: the discharge of pipe e, from its start node a to its end node b, rounded
// to float, given the heads.
template <class Law>
concept PipeLaw = requires(Law law, std::int32_t e, const Network& net, Vec1<const float> heads) {
    { law(e, net, heads) } -> std::same_as<float>;
};

// Sets member_discharge(e) = Q of every pipe in input order, and nodal_discharge(n) to the sum
// of the discharges of the pipes that start at n minus those that end there (start node first,
// each sum rounded to float). net: in-out; heads: in, one head per node.
template <PipeLaw Law>
void member_discharges(Network& net, Vec1<const float> heads, Law&& law) {
    for (std::int32_t n = 1; n <= net.equation_count; ++n) net.nodal_discharge(n) = 0.0f;
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        std::int32_t a = net.connectivity.start_node(e);
        std::int32_t b = net.connectivity.end_node(e);
        float q = law(e, std::as_const(net), heads);
        net.member_discharge(e) = q;
        net.nodal_discharge(a) = static_cast<float>(double{net.nodal_discharge(a)} + double{q});
        net.nodal_discharge(b) = static_cast<float>(double{net.nodal_discharge(b)} - double{q});
    }
}

} // namespace pipenet
