// The nodal balance of a solved network against the discharges it was given: at every node
// without a known head, the net discharge the pipes carry away should equal the discharge
// supplied there (0 where none is given).
#pragma once

#include <cstdint>
#include <span>

#include "network/model.hpp"

namespace pipenet {

// The share of the flow scale by which a node's balance may be off. The flow scale is the
// largest magnitude of a given discharge at a node without a known head or, where none is given
// (the flow is driven by known heads alone), the largest net discharge at a known head: single
// precision and the iteration tolerance leave errors in proportion to the flows, so a bare
// "any difference" would only report rounding.
inline constexpr double balance_share = 0.01;

// The worst node of a balance check.
struct BalanceCheck {
    std::int32_t node = 0;   // the node without a known head that is furthest off; 0: no such node
    float computed = 0.0f;   // its computed net discharge
    float given = 0.0f;      // its given discharge
    double difference = 0.0; // |balance_error| there; NaN when the computed value is not a number
    double allowed = 0.0;    // balance_share of the flow scale, at least the caller's floor

    bool off() const { return node != 0 && !(difference <= allowed); }
};

// How far a node's computed net discharge is from the given one.
inline double balance_error(float given, float computed) {
    return double{computed} - double{given};
}

// Checks every node without a known head. The three spans hold one entry per node, node 1
// first: the given discharges, the computed net discharges and whether the head is known. The
// worst node is the first with the largest difference; a difference that is not a number is
// the largest. floor: the smallest difference worth a warning, whatever the flows (a report
// that shows four decimals cannot show a difference below half its last one; without a floor, a
// network whose flows are themselves rounding noise would be reported).
BalanceCheck check_nodal_balance(std::span<const float> given, std::span<const float> computed,
                                 std::span<const bool> known_head, double floor);

// The same for a solved network: the given discharges are net.known_discharge, the computed
// ones net.nodal_discharge, the known heads those of net.boundary_nodes. Scratch: the first
// node_count entries of net.node_work.
BalanceCheck check_nodal_balance(const Network& net, double floor);

} // namespace pipenet
