// The check of a .inp file: what the .inp reader and the network model find in it, as findings
// of the input check, each with its line.
#pragma once

#include <string_view>

#include "check/check_input.hpp"

namespace pipenet::check {

// Reads `text` as a .inp file into the network model and fills `result` (result.inp is set,
// the counts are the model's nodes, pipes, nonzero demands and fixed heads).
void check_inp(std::string_view text, CheckResult& result);

} // namespace pipenet::check
