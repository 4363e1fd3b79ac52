// Which program's an input file is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "network/read_input.hpp"

namespace pipenet::solve {

// The program named by `program` ("lamnet" or "turbnet"), or else the one whose input file
// `path` is named after; none when neither tells.
std::optional<Program> program_of_file(std::string_view program, std::string_view path);

} // namespace pipenet::solve
