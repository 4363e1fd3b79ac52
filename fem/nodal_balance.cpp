#include "fem/nodal_balance.hpp"

#include <array>
#include <cassert>
#include <cmath>

namespace pipenet {

BalanceCheck check_nodal_balance(std::span<const float> given, std::span<const float> computed,
                                 std::span<const bool> known_head, double floor) {
    assert(given.size() == computed.size() && given.size() == known_head.size());
    BalanceCheck worst;
    double largest_given = 0.0;
    double largest_at_known_head = 0.0;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (known_head[i]) {
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

BalanceCheck check_nodal_balance(const Network& net, double floor) {
    const std::int32_t nodes = net.node_count < max_nodes ? net.node_count : max_nodes;
    if (nodes <= 0) return {};
    std::array<bool, max_nodes> known_head{};
    for (std::int32_t i = 1; i <= net.stored_boundary_count(); ++i) {
        const std::int32_t n = net.boundary_nodes.node(i);
        if (n >= 1 && n <= nodes) known_head[static_cast<std::size_t>(n - 1)] = true;
    }
    const auto size = static_cast<std::size_t>(nodes);
    return check_nodal_balance(std::span(net.known_discharge.entries.data(), size),
                               std::span(net.nodal_discharge.entries.data(), size),
                               std::span<const bool>(known_head.data(), size), floor);
}

} // namespace pipenet
