// The results of one network solved by pipenet, at full precision, ready to be written as JSON
// or CSV: every value as the analysis stored it. Values are held as doubles; those of the
// programs' arithmetic are floats widened, and are written back as floats.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// Which arithmetic analysed the network: double precision on the model (pipenet's default), or
// the programs' own single-precision engine, bit for bit.
enum class Arithmetic : std::uint8_t { double_precision, programs };

struct NodeResult {
    std::int32_t node = 0;
    double x = 0.0;
    double y = 0.0;
    double head = 0.0;      // not a number for a node left out of the analysis
    double discharge = 0.0; // computed net discharge
    std::optional<double> known_head;
    double known_discharge = 0.0;        // as given; 0 where the file gives none
    std::optional<double> balance_error; // computed minus given; none at a known head
    // Files with elevations (.inp): the elevation, and the pressure head - elevation in the
    // length unit (metres of water), none at a node left out of the analysis.
    std::optional<double> elevation;
    std::optional<double> pressure;
    std::optional<std::string> id; // from a map or the file; none where it has none
};

struct PipeResult {
    std::int32_t pipe = 0;
    std::int32_t start = 0;
    std::int32_t end = 0;
    double diameter = 0.0;
    double length = 0.0;
    double discharge = 0.0;
    double head_loss = 0.0;                          // head at the start minus head at the end
    double velocity = 0.0;                           // discharge over the cross-section
    std::optional<std::string> id, start_id, end_id; // from a map
    // .inp files: "pipe", "check-valve" or "pump", and "open" or "closed".
    std::optional<std::string> kind, state;
    std::optional<double> head_gain; // a pump: head at the end minus head at the start
};

struct PassResult {
    std::int32_t pass = 0;
    std::optional<double> relative_residual; // the programs' arithmetic
    std::optional<double> max_imbalance;     // double precision: after the pass
    std::optional<double> max_head_change;   // double precision: the step taken
};

// A message about the analysis: severity (note, warning, error), a stable code and the text,
// with the values it is about for callers that act on them rather than show them: the node and
// the pipe it names (their numbers or IDs as text; empty when it names none) and its other
// numbers, in the order the text gives them.
struct Message {
    Message() = default;
    Message(std::string severity, std::string code, std::string text)
        : severity(std::move(severity)), code(std::move(code)), text(std::move(text)) {}

    std::string severity;
    std::string code;
    std::string text;
    std::string node;
    std::string pipe;
    std::vector<double> numbers;
};

struct NetworkResult {
    std::string file;
    Program program = Program::lamnet;
    Arithmetic arithmetic = Arithmetic::double_precision;
    Verdict verdict = Verdict::unreadable;
    std::vector<NodeResult> nodes; // empty unless the analysis produced results
    std::vector<PipeResult> pipes;
    std::vector<PassResult> passes;
    std::optional<double> max_balance_error;
    std::vector<Message> messages;
    std::string report;    // the program's report, when asked for
    bool labelled = false; // nodes and pipes carry IDs (from a map, or the file's own)
    bool inp = false;      // a .inp file: `program` does not apply
    // The head-loss law analysed (model::law_name); empty when the file was not read.
    std::string law;
    std::int64_t time = 0; // .inp files: the period analysed, in s after the start
};

// The name of a verdict as written in the JSON and the summary.
const char* verdict_name(Verdict verdict);

// The messages of `severity` ("warning") in a result.
std::size_t count_messages(const NetworkResult& result, std::string_view severity);

} // namespace pipenet::solve
