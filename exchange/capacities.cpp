#include "exchange/capacities.hpp"

#include <string>

#include "network/model.hpp"

namespace pipenet::exchange {

void note_capacities(const NetworkRecords& records, std::int32_t half_band,
                     std::vector<Diagnostic>& diagnostics) {
    auto check = [&](std::size_t count, std::string_view what, std::int32_t capacity) {
        if (count > static_cast<std::size_t>(capacity))
            diagnostics.push_back(
                diagnostic(Message::capacity_exceeded, 0,
                           {std::to_string(count), what, std::to_string(capacity)}));
    };
    check(records.nodes.size(), "nodes", max_nodes);
    check(records.elements.size(), "pipes", max_elements);
    check(records.heads.size(), "nodes with known head", max_boundary_nodes);
    if (half_band > max_half_band)
        diagnostics.push_back(diagnostic(Message::half_band_exceeded, 0,
                                         {std::to_string(half_band), std::to_string(max_half_band),
                                          std::to_string(half_band - max_half_band)}));
}

} // namespace pipenet::exchange
