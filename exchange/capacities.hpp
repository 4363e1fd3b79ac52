// The programs' fixed capacities checked against a network of any size, as warnings: the tools
// that write a network write it anyway, since pipenet solve and other solvers have none.
#pragma once

#include <cstdint>
#include <vector>

#include "exchange/messages.hpp"
#include "network/network_records.hpp"

namespace pipenet::exchange {

// Adds a warning for every capacity of the programs that `records` exceed (nodes, pipes, known
// heads), and for a half-bandwidth `half_band` over the programs' limit, with the excess.
void note_capacities(const NetworkRecords& records, std::int32_t half_band,
                     std::vector<Diagnostic>& diagnostics);

} // namespace pipenet::exchange
