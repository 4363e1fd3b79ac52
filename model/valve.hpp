// A valve of the model: its type, its setting in the model's units and, for a general-purpose
// valve, its head-loss curve. The link it sits on (Model::links[link], of kind valve) holds its
// ends, its diameter and its minor loss K; a valve closed by its fixed status is a closed link.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pipenet::model {

enum class ValveType : std::uint8_t {
    prv, // pressure reducing: holds the pressure at its end node at most at the setting
    psv, // pressure sustaining: holds the pressure at its start node at least at the setting
    pbv, // pressure breaker: a head drop of the setting from start to end
    fcv, // flow control: lets through at most the setting
    tcv, // throttle control: a minor loss whose K is the setting
    gpv, // general purpose: head loss from its curve
};

// The name of a valve type in results and messages: "prv", ..., "gpv".
const char* valve_type_name(ValveType type);

struct Valve {
    std::int32_t link = 0; // index into Model::links
    ValveType type = ValveType::prv;
    // PRV, PSV: a pressure (length unit of water); PBV: a head drop (length unit); FCV: a
    // discharge (discharge unit); TCV: K (no unit); unused by a GPV.
    double setting = 0.0;
    // Fixed open by its status: the valve is a plain minor loss, its setting not applied.
    bool fixed_open = false;
    // GPV: (discharge, head loss) points in the model's units, discharge increasing.
    std::vector<std::pair<double, double>> curve;
};

} // namespace pipenet::model
