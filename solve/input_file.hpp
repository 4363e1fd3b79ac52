// The input files pipenet's commands read: which program's a file is, and its whole text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "network/read_input.hpp"

namespace pipenet::solve {

// The program named by `program` ("lamnet" or "turbnet"), or else the one whose input file
// `path` is named after; none when neither tells.
std::optional<Program> program_of_file(std::string_view program, std::string_view path);

// Reads a whole file. Returns false with `reason` set when it cannot.
bool read_input_file(const std::string& path, std::string& text, std::string& reason);

} // namespace pipenet::solve
