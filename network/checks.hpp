// The checks made on the network read, before anything is computed.
#pragma once

#include <cstdint>
#include <limits>

#include "network/faults.hpp"
#include "network/model.hpp"

namespace pipenet {

// What a network's storage holds: the programs' fixed block holds the capacities, storage sized
// from the counts holds any network.
struct Capacities {
    std::int32_t nodes = 0;
    std::int32_t elements = 0;
    std::int32_t boundary_nodes = 0;
    std::int32_t half_band = 0;
};

inline constexpr Capacities unlimited_capacities{
    std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max(),
    std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max()};

// The capacities of the storage net's views are bound to.
Capacities storage_capacities(const Network& net);

// The first check, in this order, that fails: node_count, element_count and known_head_count
// against their capacities, half_band against its capacity; then a network without nodes; then
// every node record, element record, pipe end, known-discharge record and known-head record
// against 1 ... its count. No fault when the network passes them all, so that every later index
// lies inside the storage.
Fault check_network(const Network& net, const Capacities& capacities);

// The same against the capacities of the network's own storage.
inline Fault check_network(const Network& net) {
    return check_network(net, storage_capacities(net));
}

} // namespace pipenet
