// Converting a .inp network into a turbnet input that is hydraulically the same network: SI
// units, demands at the start time, known heads for reservoirs and tanks, and every pipe's
// diameter replaced by the equivalent diameter for its coordinate length and the single
// roughness of the header. The nodes are then renumbered for a small half-bandwidth.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "exchange/inp_model.hpp"
#include "exchange/messages.hpp"
#include "network/network_records.hpp"

namespace pipenet::exchange {

// Header values of an imported network.
inline constexpr std::int32_t imported_max_iterations = 50;
inline constexpr float imported_tolerance = 1.0e-6f;

struct ImportedNetwork {
    NetworkRecords records;
    std::vector<std::string> node_ids; // node_ids[n - 1]: the .inp ID of node n
    std::vector<std::string> pipe_ids; // pipe_ids[e - 1]: the .inp ID of pipe e
    // The file's length and diameter of pipe e in m; the records hold the equivalent diameter.
    std::vector<double> pipe_lengths;
    std::vector<double> pipe_diameters;
    std::int32_t half_band_before = 0; // of the numbering in file order
    std::int32_t half_band_after = 0;
};

// The equivalent diameter: the diameter that gives a pipe of coordinate length `coordinate_length`
// and the single roughness `roughness` the same coefficient 0.2784 * C * D^2.63 / L^0.54 as the
// pipe of length `length`, diameter `diameter` and Hazen-Williams coefficient `pipe_roughness`:
//   D_eq = D * (C_pipe / C)^(1 / 2.63) * (L_coordinates / L)^(0.54 / 2.63)
double equivalent_diameter(double diameter, double length, double pipe_roughness,
                           double coordinate_length, double roughness);

// Converts the network. Adds a message for everything refused, changed or dropped; returns false
// (and leaves `imported` incomplete) when something cannot be represented.
bool import_network(const InpNetwork& network, ImportedNetwork& imported,
                    std::vector<Diagnostic>& diagnostics);

// The map of IDs to numbers as CSV: a header line, then "node,ID,number" and "pipe,ID,number"
// lines. A pipe's line goes on with the file's length and diameter, the equivalent diameter
// written (all in m) and its change in per cent; a node's line leaves them empty. IDs holding a
// comma or a double quote are quoted.
inline constexpr std::string_view id_map_header =
    "kind,id,number,length,diameter,equivalent_diameter,diameter_change_percent";
std::string id_map_csv(const ImportedNetwork& imported);

// A whole .inp file to a whole turbnet input: reads, converts and writes it. `input` receives the
// input file's text and `map_csv` the map; false when an error is among the messages.
bool import_inp_text(std::string_view inp, std::string& input, std::string& map_csv,
                     ImportedNetwork& imported, std::vector<Diagnostic>& diagnostics);

} // namespace pipenet::exchange
