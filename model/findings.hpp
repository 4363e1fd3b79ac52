// The findings of the model's readers, the analysis and the plausibility checks: a stable code,
// a severity and a text each, in one table. Front ends render them; none invents its own.
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
};

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
