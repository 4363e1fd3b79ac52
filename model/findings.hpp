// The findings of the model's readers, the analysis, the plausibility checks and the account
// pipenet solve gives of a file: a stable code, a severity and a text each, in one table. Front
// ends render them; none invents its own.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "model/network_model.hpp"

namespace pipenet::model {

enum class Severity : std::uint8_t { note, warning, error };

enum class Code : std::uint8_t {
    isolated_nodes,
    no_known_head,
    bad_link,
    not_positive_definite,
    not_converged,
    final_check_failed,
    velocity_high,
    all_inflows,
    head_far_below,
    reynolds_not_laminar,
    discharge_outlier,
    negative_pressure,
    tanks_fixed,
    inp_double_only,
    cut_off_by_check_valves,
    valve_states_unsettled,
    // A file analysed on the programs' engine, and what pipenet solve says of a file.
    end_of_file,
    not_a_number_field,
    unreadable_records,
    balance_off,
    renumbered,
    renumber_skipped,
    iteration_limit_reached,
    head_not_a_number,
    band_too_large,
    renumbered_row,
    refused,    // the programs' words for a fault
    singular,   // the programs' words for a singular row
    unreadable, // a file that cannot be read, with the reason
    inp_read,   // the .inp reader's words
    inp_model,  // the .inp network as the model takes it, in the reader's words
    no_report,
    unnamed_id,
};

// The plausibility findings the input check also makes from the records alone, word for word.
namespace shared_text {
inline constexpr std::string_view all_inflows =
    "every given discharge is an inflow ({} nodes); demands are negative in this format: are the "
    "signs flipped?";
inline constexpr std::string_view discharge_outlier =
    "the discharge at node {} is {}, more than a hundred times the median of the others ({}): a "
    "unit typed wrong?";
} // namespace shared_text

struct FindingEntry {
    Code id;
    std::string_view code; // stable: tools match on it
    Severity severity;
    std::string_view text; // {} are filled in order
};

struct Finding {
    Code code = Code::isolated_nodes;
    std::string text;
    Place place; // where the value it is about was read, when it is about one
};

const FindingEntry& finding_entry(Code code);
std::string_view severity_name(Severity severity);

// The finding with each "{}" of its text replaced by the next value.
Finding make_finding(Code code, std::initializer_list<std::string> values, Place place = {});

} // namespace pipenet::model
