// Reading a .inp network file: a tolerant line tokenizer and the sections a steady state of
// pipes needs. Cross references (links to nodes, demands to junctions, patterns) are checked
// after the whole file is read, since sections may come in any order.
#pragma once

#include <string_view>
#include <vector>

#include "exchange/inp_model.hpp"
#include "exchange/messages.hpp"

namespace pipenet::exchange {

inline constexpr std::size_t max_line_length = 1024;
inline constexpr std::size_t max_id_length = 31;

// Reads the file's bytes into `network` and adds a message for everything wrong or skipped.
// Returns false when any message is an error. Never throws for any bytes given; memory grows
// with the size of the text only.
bool read_inp(std::string_view text, InpNetwork& network, std::vector<Diagnostic>& diagnostics);

} // namespace pipenet::exchange
