// What a picture of a network shows: the geometry from the file's records and, when the analysis
// produced them, its results, in the file's own node and pipe numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "network/network_records.hpp"
#include "plot/band_pattern.hpp"
#include "solve/network_result.hpp"

namespace pipenet::plot {

struct PlotNode {
    std::int32_t node = 0;
    double x = 0.0;
    double y = 0.0;
    std::optional<float> known_head;
    float known_discharge = 0.0f;   // positive: supplied at the node
    std::optional<float> head;      // computed
    std::optional<float> pressure;  // computed, where the file gives elevations
    std::optional<float> elevation; // .inp files
    std::optional<std::string> id;  // the file's own ID (.inp files)
};

struct PlotPipe {
    std::int32_t pipe = 0;
    std::int32_t start = 0;
    std::int32_t end = 0;
    float diameter = 0.0f;
    float length = 0.0f;
    std::optional<float> discharge; // computed; positive from start to end
    std::optional<float> velocity;
    std::optional<float> head_loss;   // computed: head at the start minus head at the end
    std::optional<float> roughness;   // Hazen-Williams C: turbnet's header, a .inp file's pipe
    std::optional<std::string> id;    // the file's own ID (.inp files)
    bool pump = false;                // a pump: drawn with its own symbol, its length unused
    std::optional<std::string> valve; // a valve's type, "prv" ... "gpv": its own symbol
    std::optional<double> setting;    // a valve's, in the unit of its type (none for a GPV)
    bool check_valve = false;         // a pipe that lets water from start to end only
    // computed, .inp files: "open" or "closed", a valve also "active"
    std::optional<std::string> state;
};

struct PlotNetwork {
    std::string file;
    Program program = Program::lamnet;
    std::vector<PlotNode> nodes; // nodes[k - 1] is node k
    std::vector<PlotPipe> pipes; // in file order
    bool analysed = false;
    bool has_results = false;
    solve::Verdict verdict = solve::Verdict::unreadable; // unreadable also when not analysed
    std::optional<float> last_residual;                  // turbnet's last pass
    std::vector<std::string> messages;                   // the analysis's, for a banner
    std::vector<std::string> warnings;                   // "code: text", for a banner
    bool inp = false;                                    // a .inp file: SI units, IDs, pressures
    std::optional<BandPattern> band; // the programs' files, when PlotSettings::band asks for it
};

struct PlotSettings {
    bool results = true;   // analyse, and draw the results when there are some
    bool renumber = false; // analyse renumbered (the picture keeps the file's numbers)
    bool band = false;     // the programs' files: the coefficient matrix's pattern too
};

// Reads the network from the text of its input file once and, unless settings.results is false,
// analyses the records read. Returns false with `error` set when the records cannot be read or do
// not number their nodes 1 ... n: there is nothing to draw.
bool load_plot_network(std::string_view file, std::string_view text, Program program,
                       const PlotSettings& settings, PlotNetwork& network, std::string& error);

// A .inp file, analysed as pipenet solve analyses it at `time` (s after the start) unless
// settings.results is false. Returns false with `error` set when the file cannot be read into
// the network model: there is nothing to draw.
bool load_plot_inp(std::string_view file, std::string_view text, std::int64_t time,
                   const PlotSettings& settings, PlotNetwork& network, std::string& error);

// The network of records already read, with the results of an analysis when given.
PlotNetwork plot_network_of(std::string_view file, const NetworkRecords& records,
                            const solve::NetworkResult* result);

} // namespace pipenet::plot
