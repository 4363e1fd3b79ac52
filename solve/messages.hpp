// The texts pipenet solve writes beside the results, in one table.
#pragma once

#include <string>

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

// The text with each "{}" replaced by the next argument.
std::string message(Text text, std::initializer_list<std::string> arguments = {});

} // namespace pipenet::solve
