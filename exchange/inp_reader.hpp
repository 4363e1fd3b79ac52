// Reading a .inp network file: a tolerant line tokenizer and the sections a steady state of
// pipes needs. Cross references (links to nodes, demands to junctions, patterns) are checked
// after the whole file is read, since sections may come in any order.
#pragma once

#include <cstdint>
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

// True when the first line of the text holds four numbers or more and nothing else, as the
// header record of the programs' fixed-column files does.
bool looks_like_fixed_columns(std::string_view text);

// A time as the format writes it: "H:MM" or "H:MM:SS", or a number with an optional unit word
// (SEC, MIN, HOURS, DAYS; hours without one). False for anything else or a negative time.
bool parse_duration(std::string_view text, std::string_view unit, std::int64_t& seconds);

// A time of day: "H:MM", "H:MM:SS" or hours, followed by AM or PM or by nothing (a 24-hour
// clock), as seconds after midnight. False for anything else.
bool parse_clock_time(std::string_view text, std::string_view suffix, std::int64_t& seconds);

// The multiplier of `pattern` at `seconds` after the start (an empty ID: the default pattern,
// that is the Pattern option, else pattern "1"); 1 where the file has no such pattern.
double multiplier_at(const InpNetwork& network, std::string_view pattern, std::int64_t seconds);

} // namespace pipenet::exchange
