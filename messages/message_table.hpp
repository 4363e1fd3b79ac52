// Every message pipenet gives about a file, a network or an analysis: a stable code, a severity
// and a text, in one table, the one place each message's words live. The readers, the input
// check, the analysis, the commands and the bindings take their messages from it; none invents
// a code of its own. (The programs' reports keep their own words, in frontend/.)
//
// A new message is an Id here, its entry at the same place in message_table.cpp, and its code
// in docs/messages.md; a test keeps the table and that page together.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace pipenet::messages {

enum class Severity : std::uint8_t { note, warning, error };

std::string_view severity_name(Severity severity);

enum class Id : std::uint16_t {
    // The model's readers, the analysis, its plausibility checks, and pipenet solve's account of a
    // file.
    isolated_nodes,
    no_known_head,
    bad_link,
    // A link's fault under the input check's code for it, in the words of bad_link.
    link_zero_length,
    link_same_node,
    link_bad_diameter,
    link_bad_roughness,
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
    pump_cannot_deliver,
    valve_states_unsettled,
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
    // A refusal in the programs' words, under the input check's code for the same fault.
    refused,
    refused_capacity,
    refused_half_bandwidth,
    refused_no_nodes,
    refused_out_of_range,
    refused_same_node_pipe,
    refused_zero_length,
    refused_bad_diameter,
    singular,
    unreadable,
    no_report,
    unnamed_id,
    records_unreadable,
    empty_network,
    // The input check of the programs' files, field by field.
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
    unreadable_number,
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
    floating_group,
    half_bandwidth,
    capacity,
    node_count_not_positive,
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
    findings_omitted,
    inp_error,
    inp_warning,
    inp_note,
    // The .inp reader, import and export. Their code is one, "inp"; each is given with the
    // severity it has here (exchange::diagnostic).
    line_too_long,
    stray_byte,
    unclosed_quote,
    text_outside_section,
    unknown_section,
    bad_section_header,
    too_few_fields,
    not_a_number,
    id_too_long,
    empty_id,
    duplicate_node,
    duplicate_link,
    unknown_node,
    unknown_link,
    unknown_pattern,
    unknown_units,
    unknown_headloss,
    unknown_status,
    empty_pattern,
    section_after_end,
    bad_time,
    pump_keyword,
    pump_without_curve,
    unknown_curve,
    unknown_valve_type,
    bad_pump_curve,
    units_si_as_lps,
    default_pattern_missing,
    coordinates_of_unknown_node,
    tank_as_reservoir,
    no_nodes,
    no_links,
    pump_refused,
    valve_refused,
    check_valve_refused,
    emitter_refused,
    headloss_refused,
    more_refused,
    valve_not_analysed,
    emitter_not_analysed,
    nonpositive_pipe_value,
    self_loop,
    closed_pipe_left_out,
    minor_loss_dropped,
    controls_ignored,
    coordinates_laid_out,
    coincident_node_moved,
    coordinates_shifted,
    no_pipes,
    import_no_known_head,
    capacity_exceeded,
    half_band_exceeded,
    value_out_of_range,
    roughness_chosen,
    largest_diameter_change,
    closed_link_no_flow,
    closed_pump,
    no_network,
    equivalent_pipes,
    not_an_inp_file,
    valve_fixed_heads,
    valve_fixed_heads_solved,
    valve_at_fixed_head,
    valve_controls_fixed_head,
    valve_negative_setting,
    valve_bad_value,
    valve_pressure_units,
    valve_curve_unusable,
    control_applied,
    control_not_applied,
    more_not_applied,
    export_bad_records,
    export_discharge_overridden,
    export_bad_pipe,
};

struct Entry {
    Id id;
    std::string_view code; // stable: tools match on it
    Severity severity;
    std::string_view text; // "{}" takes the values in order, "{k}" the k-th (1 ... 9)
};

const Entry& entry(Id id);

// Every entry, in the order of the enumeration.
std::span<const Entry> all_entries();

// The text of `id` with its values filled in; a place without a value stays empty.
std::string format(Id id, std::span<const std::string_view> values);

inline std::string format(Id id, std::initializer_list<std::string_view> values) {
    return format(id, std::span<const std::string_view>(values.begin(), values.size()));
}

} // namespace pipenet::messages
