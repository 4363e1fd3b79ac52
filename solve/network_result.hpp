// The results of one network solved by pipenet, at full precision, ready to be written as JSON
// or CSV: every value as the analysis stored it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "network/read_input.hpp"

namespace pipenet::solve {

// How the analysis of one file ended; the names are those of the JSON "outcome".
enum class Verdict : std::uint8_t {
    solved,
    refused,       // a check failed or a pipe is faulty
    singular,      // a pivot vanished
    not_converged, // turbulent: the passes ran out
    not_a_number,  // a head came out NaN
    unreadable,    // the file cannot be read, or does not hold a network's records
};

struct NodeResult {
    std::int32_t node = 0;
    float x = 0.0f;
    float y = 0.0f;
    float head = 0.0f;
    float discharge = 0.0f; // computed net discharge
    std::optional<float> known_head;
    float known_discharge = 0.0f;        // as given; 0 where the file gives none
    std::optional<double> balance_error; // computed minus given; none at a known head
    std::optional<std::string> id;       // from a map; none where it has none
};

struct PipeResult {
    std::int32_t pipe = 0;
    std::int32_t start = 0;
    std::int32_t end = 0;
    float diameter = 0.0f;
    float length = 0.0f;
    float discharge = 0.0f;
    float head_loss = 0.0f;                          // head at the start minus head at the end
    float velocity = 0.0f;                           // discharge over the cross-section
    std::optional<std::string> id, start_id, end_id; // from a map
};

struct PassResult {
    std::int32_t pass = 0;
    float relative_residual = 0.0f;
};

struct NetworkResult {
    std::string file;
    Program program = Program::lamnet;
    Verdict verdict = Verdict::unreadable;
    std::vector<NodeResult> nodes; // empty unless the analysis produced results
    std::vector<PipeResult> pipes;
    std::vector<PassResult> passes;
    std::optional<double> max_balance_error;
    std::vector<std::string> messages;
    std::string report;    // the program's report, when asked for
    bool labelled = false; // nodes and pipes carry IDs from a map
};

// The name of a verdict as written in the JSON and the summary.
const char* verdict_name(Verdict verdict);

} // namespace pipenet::solve
