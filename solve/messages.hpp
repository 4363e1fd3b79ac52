// The messages pipenet solve writes beside the results, with their codes and severities, in one
// table; the analysis's own findings come from model/findings.hpp.
#pragma once

#include <string>

#include "solve/network_result.hpp"

namespace pipenet::solve {

enum class Text : int {
    end_of_file,
    not_a_number_field,
    unreadable_records,
    balance_off,
    renumbered,
    renumber_skipped,
    not_converged,
    head_not_a_number,
    band_too_large,
    renumbered_row,
};

// The message with each "{}" of its text replaced by the next argument.
Message message(Text text, std::initializer_list<std::string> arguments = {});

} // namespace pipenet::solve
