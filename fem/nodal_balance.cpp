#include "fem/nodal_balance.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace pipenet {

namespace {

// known_head(i): whether node i + 1 has a known head.
template <class KnownHead>
BalanceCheck worst_balance(std::span<const float> given, std::span<const float> computed,
                           KnownHead&& known_head, double floor) {
    BalanceCheck worst;
    double largest_given = 0.0;
    double largest_at_known_head = 0.0;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (known_head(i)) {
            largest_at_known_head = std::fmax(largest_at_known_head, std::fabs(computed[i]));
            continue;
        }
        largest_given = std::fmax(largest_given, std::fabs(given[i]));
        const double difference = std::fabs(balance_error(given[i], computed[i]));
        const bool worse =
            worst.node == 0 || (!std::isnan(worst.difference) &&
                                (std::isnan(difference) || difference > worst.difference));
        if (worse) {
            worst.node = static_cast<std::int32_t>(i + 1);
            worst.computed = computed[i];
            worst.given = given[i];
            worst.difference = difference;
        }
    }
    worst.allowed = std::fmax(
        balance_share * (largest_given > 0.0 ? largest_given : largest_at_known_head), floor);
    return worst;
}

} // namespace

BalanceCheck check_nodal_balance(std::span<const float> given, std::span<const float> computed,
                                 std::span<const bool> known_head, double floor) {
    assert(given.size() == computed.size() && given.size() == known_head.size());
    return worst_balance(
        given, computed, [&](std::size_t i) { return known_head[i]; }, floor);
}

BalanceCheck check_nodal_balance(const Network& net, double floor) {
    std::int32_t nodes =
        net.node_count < net.nodal_discharge.size() ? net.node_count : net.nodal_discharge.size();
    if (nodes <= 0) return {};
    // node_work holds one mark a node (the group search is done with it by now).
    std::span<std::int32_t> known_head = net.node_work.first(static_cast<std::size_t>(nodes));
    std::fill(known_head.begin(), known_head.end(), 0);
    for (std::int32_t i = 1; i <= net.stored_boundary_count(); ++i) {
        const std::int32_t n = net.boundary_nodes.node(i);
        if (n >= 1 && n <= nodes) known_head[static_cast<std::size_t>(n - 1)] = 1;
    }
    const auto size = static_cast<std::size_t>(nodes);
    return worst_balance(
        std::span<const float>(net.known_discharge.data(), size),
        std::span<const float>(net.nodal_discharge.data(), size),
        [&](std::size_t i) { return known_head[i] != 0; }, floor);
}

} // namespace pipenet
