// The messages pipenet solve writes beside the results: values of the one table of findings
// (model/findings.hpp), rendered with their codes and severities.
#pragma once

#include <initializer_list>
#include <string>

#include "model/findings.hpp"
#include "solve/network_result.hpp"

namespace pipenet::solve {

// The message of `code` with each "{}" of its text replaced by the next argument.
Message message(model::Code code, std::initializer_list<std::string> arguments = {});

// The message of a finding as found.
Message message(const model::Finding& finding);

} // namespace pipenet::solve
