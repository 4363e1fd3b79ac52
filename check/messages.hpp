// Every finding the input check can report: its stable code, its severity and its text, in one
// table. A text names its values {1} ... {9}, or takes them in order with {}; format_message
// fills them in. The findings the analysis makes too share its words (model/findings.hpp).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pipenet::check {

enum class Severity : std::uint8_t { note, warning, error };

enum class Message : std::uint8_t {
    implied_decimals,
    blank_in_number,
    field_overrun,
    last_field_overrun,
    comma_in_column_record,
    comma_record,
    text_after_fields,
    tab_in_field,
    tab_after_fields,
    byte_order_mark,
    editor_byte_in_field,
    editor_byte_after_fields,
    not_a_number,
    too_many_digits,
    echo_rounds,
    asterisks,
    missing_record,
    number_out_of_range,
    duplicate_record,
    unused_node,
    same_node_pipe,
    zero_length,
    bad_diameter,
    head_and_discharge,
    two_known_heads,
    no_known_head,
    half_bandwidth,
    capacity,
    no_nodes,
    print_flag,
    tolerance_not_positive,
    iteration_limit,
    roughness_zero,
    roughness_negative,
    roughness_range,
    loose_tolerance,
    tight_tolerance,
    trailing_record,
    trailing_text,
    record_shape,
    unset_node,
    unset_pipe,
    free_form_record,
    diameter_vs_length,
    diameter_outlier,
    all_inflows,
    discharge_outlier,
    findings_omitted,
    inp_error,
    inp_warning,
    inp_note,
};

struct MessageEntry {
    Message id;
    std::string_view code; // stable: tools match on it
    Severity severity;
    std::string_view text;
};

const MessageEntry& message_entry(Message id);
std::string_view severity_name(Severity severity);

// The message's text with {k} replaced by the k-th value.
std::string format_message(Message id, std::initializer_list<std::string_view> values);

} // namespace pipenet::check
