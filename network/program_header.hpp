// Which program's input file a text is, told from its header record.
#pragma once

#include <optional>
#include <string_view>

#include "network/read_input.hpp"

namespace pipenet {

// The program a first line is the header of, from its shape; none when it cannot tell.
std::optional<Program> program_from_header(std::string_view first_line);

// The program whose header is the first line of `text` (a byte order mark before it and a
// carriage return at its end are passed over, as the record reader does); none when it cannot
// tell.
std::optional<Program> program_from_text(std::string_view text);

} // namespace pipenet
