// Writing a network input as a .inp file: junctions with their demands, reservoirs for the known
// heads, pipes with their coordinate lengths, coordinates, SI units with flows in L/s. A turbnet
// network keeps Hazen-Williams pipes with its single roughness; a lamnet network becomes
// Darcy-Weisbach pipes with the viscosity its rho*g/mu gives, so that laminar flow
// (f = 64 / Re) reproduces Hagen-Poiseuille.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "exchange/messages.hpp"
#include "network/network_records.hpp"

namespace pipenet::exchange {

// The length unit a lamnet input is taken to be in (time is always in seconds).
enum class LengthUnit : std::uint8_t { centimetre, metre };

// Gravitational acceleration, m/s^2, taken to turn rho*g/mu into a kinematic viscosity.
inline constexpr double standard_gravity = 9.80665;
// The kinematic viscosity, m^2/s, that the Viscosity option of 1 stands for: 1.1e-5 ft^2/s.
inline constexpr double reference_viscosity = 1.1e-5 * 0.3048 * 0.3048;

// Writes records (which must pass check_node_numbers and number the pipes 1 ... count once each)
// as a .inp file in `text`. Returns false with a message when they do not.
bool export_network(const NetworkRecords& records, LengthUnit lamnet_length, std::string& text,
                    std::vector<Diagnostic>& diagnostics);

// A whole input file, read in the program's layouts, to a whole .inp file.
bool export_input_text(std::string_view input, Program program, LengthUnit lamnet_length,
                       std::string& inp, std::vector<Diagnostic>& diagnostics);

} // namespace pipenet::exchange
