// lamnet and turbnet take no arguments: their input has a fixed name in the current folder.
#pragma once

#include <string_view>

#include "network/read_input.hpp"
#include "report/record_io.hpp"

namespace pipenet {

// The status of a run refused for its arguments (as with other command-line programs' usage
// errors).
inline constexpr int usage_status = 2;

// The one line that tells what `program` reads, where, and where it is explained.
std::string_view usage_line(Program program);

// Given any argument (argc > 1), writes usage_line(program) and a line feed to `errors` and
// returns usage_status; otherwise writes nothing and returns -1, and the run goes on. Nothing
// else is read or written, so a refused run leaves every file as it was.
int refuse_arguments(int argc, Program program, ByteSink& errors);

} // namespace pipenet
