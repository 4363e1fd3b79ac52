// What a pipe network of one period cannot hold: pumps, valves, check valves, emitters, and
// head-loss formulas other than Hazen-Williams. The import and the analysis refuse them alike.
#pragma once

#include <cstdint>
#include <vector>

#include "exchange/inp_model.hpp"
#include "exchange/messages.hpp"

namespace pipenet::exchange {

// Each pipe's status after [STATUS] (a numeric setting does not change a pipe), and the line
// that gave it: status[i] and line[i] belong to network.pipes[i].
struct PipeStatuses {
    std::vector<LinkStatus> status;
    std::vector<std::int32_t> line;
};
PipeStatuses pipe_statuses(const InpNetwork& network);

// The wording of a refusal: the programs' files cannot represent an element; pipenet's analysis
// does not handle it yet.
enum class Refusal : std::uint8_t { programs, analysis };

// Adds an error for each element refused, the first three of a kind by name and line and one
// more line counting the rest of that kind, and a note when [CONTROLS] or [RULES] are present.
// Returns true when anything was refused.
bool refuse_unsupported(const InpNetwork& network, const PipeStatuses& statuses, Refusal wording,
                        std::vector<Diagnostic>& diagnostics);

} // namespace pipenet::exchange
