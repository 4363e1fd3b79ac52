// Fills the model from a .inp network file at one moment: SI units (m, m3/s), IDs as the file
// gives them, each pipe with its own length, diameter and Hazen-Williams coefficient, junction
// elevations, demands and reservoir heads with the multipliers of the period at `time`, tanks
// held at their initial level. What a pipe network cannot hold (pumps, valves, check valves,
// emitters, other head-loss formulas) is refused, every reason in one pass.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/inp_model.hpp"
#include "exchange/messages.hpp"
#include "model/network_model.hpp"

namespace pipenet::model {

// True when the text reads as a .inp file: its first line that is neither blank nor a comment
// is a [SECTION] header.
bool looks_like_inp(std::string_view text);

// Fills `model` from a network read by the .inp reader. Adds a message for everything refused,
// left out or not applied; returns false when any of them is an error (the model is then not to
// be analysed). `time`: seconds after the start, >= 0.
bool model_from_inp(const exchange::InpNetwork& network, const std::string& file, std::int64_t time,
                    Model& model, std::vector<exchange::Diagnostic>& diagnostics);

// Reads the text of a .inp file and fills the model from it.
bool read_inp_model(std::string_view text, const std::string& file, std::int64_t time, Model& model,
                    std::vector<exchange::Diagnostic>& diagnostics);

} // namespace pipenet::model
