// Every message of the .inp reader, import and export, in one table. A message names its line
// where it has one; "{}" marks where the values go, in order.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pipenet::exchange {

enum class Message : std::uint8_t {
    // Reading.
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
    unknown_valve_type,
    unknown_curve,
    // Read leniently, as the field's solvers read them.
    units_si_as_lps,
    default_pattern_missing,
    coordinates_of_unknown_node,
    tank_as_reservoir,
    // Import refusals.
    no_nodes,
    no_links,
    pump_refused,
    valve_refused,
    check_valve_refused,
    emitter_refused,
    headloss_refused,
    more_refused,
    pump_not_analysed,
    valve_not_analysed,
    emitter_not_analysed,
    // Import checks and notes.
    nonpositive_pipe_value,
    self_loop,
    closed_pipe_left_out,
    minor_loss_dropped,
    controls_ignored,
    coordinates_laid_out,
    coincident_node_moved,
    coordinates_shifted,
    no_pipes,
    no_known_head,
    capacity_exceeded,
    half_band_exceeded,
    value_out_of_range,
    roughness_chosen,
    largest_diameter_change,
    closed_link_no_flow,
    no_network,
    equivalent_pipes,
    not_an_inp_file,
    // Valves in the analysis.
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
    // Export.
    export_bad_records,
    export_discharge_overridden,
    export_bad_pipe,
    count
};

inline constexpr std::array<std::string_view, static_cast<std::size_t>(Message::count)>
    message_texts{
        "line longer than 1024 characters",
        "stray byte 0x{} in the line",
        "a quoted token is not closed",
        "text before the first section is ignored",
        "unknown section [{}] skipped",
        "a section header needs a closing ]",
        "[{}] needs at least {} fields, the line has {}",
        "[{}]: '{}' is not a number",
        "ID '{}' is longer than 31 characters",
        "an ID is empty",
        "node ID '{}' is given twice (first on line {})",
        "link ID '{}' is given twice (first on line {})",
        "{} '{}' names node '{}', which does not exist",
        "[{}] names link '{}', which does not exist",
        "{} '{}' uses pattern '{}', which does not exist",
        "unknown flow units '{}'",
        "unknown head-loss formula '{}'",
        "unknown status '{}'",
        "pattern '{}' has no multipliers",
        "text after [END] is ignored",
        "'{}' is not a time (H:MM, H:MM:SS, or a number and a unit)",
        "unknown valve type '{}' (PRV, PSV, PBV, FCV, TCV or GPV)",
        "{} '{}' uses curve '{}', which does not exist",
        "flow units SI read as LPS (litres per second)",
        "default pattern '{}' does not exist: its multiplier is taken as 1",
        "coordinates of node '{}', which does not exist, are ignored",
        "tank '{}' gives only its elevation: held at that head, as a reservoir",
        "the file has no junctions, reservoirs or tanks: there is no network to import",
        "the file has no pipes, pumps or valves: there is no network to import",
        "pump '{}' cannot be represented: the programs have pipes only",
        "valve '{}' cannot be represented: the programs have pipes only",
        "pipe '{}' is a check valve, which cannot be represented",
        "emitter at junction '{}' cannot be represented",
        "head-loss formula {} cannot be represented: the programs use Hazen-Williams only",
        "... and {} more {} (lines {} to {}): {} in all",
        "pump '{}' is not analysed: pipenet analyses pipes only, for now",
        "valve '{}' is not analysed: pipenet analyses pipes only, for now",
        "emitter at junction '{}' is not analysed: pipenet analyses fixed demands only, for now",
        "pipe '{}' needs a positive length, diameter and roughness",
        "pipe '{}' starts and ends at node '{}'",
        "pipe '{}' is closed and is left out",
        "pipe '{}': minor loss coefficient {} dropped",
        "[{}] present: statuses it may change later in a simulation are not applied",
        "{} nodes have no coordinates and were laid out on a grid {} m apart (first: '{}')",
        "node '{}' lay on node '{}', the other end of pipe '{}': moved by {} m",
        "coordinates shifted by ({}, {}) m so that they fit their fields",
        "the network has no open pipes",
        "no reservoir or tank: no node has a known head",
        "{} {} exceed the programs' capacity of {}; written anyway",
        "half-bandwidth {} exceeds the programs' limit of {} by {}; written anyway",
        "{} '{}': {} cannot be written as a number the programs read",
        "single roughness (Hazen-Williams C) {}, the value of {} of {} pipes",
        "largest equivalent-diameter change: pipe '{}', {} m to {} m ({} %)",
        "pipe '{}' is closed: it carries no flow and is left out of the analysis",
        "the file holds no {}",
        "{} of {} pipes are written as equivalent pipes (the coordinates' length and the single "
        "roughness, diameter changed to match): --map lists each with its change",
        "this is not a .inp file: it has no [SECTION] line{}",
        "valve '{}' joins two nodes of known head ('{}' and '{}'): it can hold nothing",
        "valve '{}' joins two nodes of known head ('{}' and '{}'): its flow follows from their "
        "heads alone",
        "valve '{}' is a {} joined to node '{}' of known head: the field's reference solver "
        "refuses such a valve; analysed here",
        "valve '{}' is a {} whose controlled node '{}' has a known head: it cannot hold its "
        "setting",
        "valve '{}' has setting {}, below zero",
        "valve '{}' needs {}",
        "pressure unit {} is not read: valve settings are taken in {}; give the settings in {}",
        "curve '{}' of valve '{}' {}",
        "control applied: link '{}' {} from time {} on",
        "{} not applied: {}",
        "... and {} more {} not applied (lines {} to {}): {}",
        "the input cannot be exported: {}",
        "node {} has a known head: its known discharge has no effect and is not exported",
        "the input cannot be exported: pipe {} has no length or no diameter",
    };

inline std::string format_message(Message message, std::initializer_list<std::string_view> values) {
    std::string_view text = message_texts[static_cast<std::size_t>(message)];
    std::string out;
    auto value = values.begin();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && i + 1 < text.size() && text[i + 1] == '}' && value != values.end()) {
            out += *value++;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

enum class Severity : std::uint8_t { error, warning, note };

// One message about the input, with the line it concerns (0: the file as a whole).
struct Diagnostic {
    Severity severity = Severity::error;
    std::int32_t line = 0;
    std::string text;
};

// "NET.inp:12: error: ..." as a tool prints it.
std::string describe(const Diagnostic& diagnostic, std::string_view file_name);

} // namespace pipenet::exchange
