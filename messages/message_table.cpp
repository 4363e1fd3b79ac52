#include "messages/message_table.hpp"

#include <array>

namespace pipenet::messages {

namespace {

using enum Severity;

constexpr auto table = std::to_array<Entry>({
    {Id::isolated_nodes, "isolated-nodes", warning,
     "{} junction(s) joined by open links to no known head are left out, their results null: {}"},
    {Id::no_known_head, "no-known-head", error, "no node has a known head: no head is determined"},
    {Id::bad_link, "bad-link", error, "link {}: {}"},
    {Id::link_zero_length, "zero-length", error, "link {}: {}"},
    {Id::link_same_node, "same-node-pipe", error, "link {}: {}"},
    {Id::link_bad_diameter, "bad-diameter", error, "link {}: {}"},
    {Id::link_bad_roughness, "roughness-not-positive", error, "link {}: {}"},
    {Id::not_positive_definite, "not-positive-definite", error,
     "the Newton matrix is not positive definite at pass {} (a link law without slope); "
     "nodes around {}"},
    {Id::not_converged, "not-converged", error,
     "not converged after {} passes: the worst node is {} with an imbalance of {} {}"},
    {Id::final_check_failed, "final-check-failed", error,
     "the final check of the heads failed: {}"},
    {Id::velocity_high, "velocity-high", warning,
     "{} link(s) carry water faster than {} m/s, up to {} m/s in link {}: discharges typed in "
     "L/s where m3/s are meant, or diameters in mm where metres are meant?"},
    {Id::all_inflows, "all-inflows", warning,
     "every given discharge is an inflow ({} nodes); demands are negative in this format: are the "
     "signs flipped?"},
    {Id::head_far_below, "head-far-below", warning,
     "the head at node {} is {}, {} below the lowest known head ({}): discharges far too large "
     "for the pipes?"},
    {Id::reynolds_not_laminar, "reynolds-not-laminar", warning,
     "link {} has a Reynolds number of {}, above the laminar range (2000), taking lengths in cm "
     "and g = 981 cm/s2: the laminar law does not hold there"},
    {Id::discharge_outlier, "discharge-outlier", warning,
     "the discharge at node {} is {}, more than a hundred times the median of the others ({}): a "
     "unit typed wrong?"},
    {Id::negative_pressure, "negative-pressure", warning,
     "{} node(s) have a negative pressure ({}), the lowest {} m at node {}: the network cannot "
     "deliver the demands there"},
    {Id::tanks_fixed, "tanks-fixed", note,
     "{} tank(s) are held at their initial level: a fixed head in this snapshot"},
    {Id::inp_double_only, "inp-double-only", note,
     "a .inp file is analysed in double precision only: the programs' arithmetic is for their "
     "own files"},
    {Id::cut_off_by_check_valves, "cut-off-by-check-valves", warning,
     "{} junction(s) are joined to a known head only through check valves closed against the "
     "flow, pumps closed or valves closed by their state, so no water reaches them: {}"},
    {Id::pump_cannot_deliver, "pump-cannot-deliver", warning,
     "pump {} is closed: it would have to add {} {} of head, at least its shutoff head of {} {}"},
    {Id::valve_states_unsettled, "valve-states-unsettled", error,
     "the valves' states still changed after {} rounds of passes (valve {} last): no steady "
     "state was found"},
    {Id::end_of_file, "missing-record", error,
     "the file ends before all the records its counts announce"},
    {Id::not_a_number_field, "not-a-number", error, "a field holds something that is not a number"},
    {Id::unreadable_records, "unreadable-records", error,
     "the file does not hold a network's records (failure {})"},
    {Id::balance_off, "balance-off", warning,
     "the balance of node {} is off by {}, more than 1 % of the largest given discharge ({})"},
    {Id::renumbered, "renumbered", note,
     "analysed with the nodes renumbered: half-bandwidth {} instead of {}; results under the "
     "file's own numbers"},
    {Id::renumber_skipped, "not-renumbered", warning, "not renumbered: {}"},
    {Id::iteration_limit_reached, "not-converged", error,
     "the iteration limit was reached before the residual met the tolerance"},
    {Id::head_not_a_number, "head-not-a-number", error, "a head came out as not a number"},
    {Id::band_too_large, "band-too-large", error,
     "the band of {} equations and half-bandwidth {} does not fit in memory (--renumber may "
     "narrow it)"},
    {Id::renumbered_row, "renumbered-row", note,
     "row {} of the renumbered system is node {} of the file"},
    {Id::refused, "refused", error, "{}"},
    {Id::refused_capacity, "capacity", error, "{}"},
    {Id::refused_half_bandwidth, "half-bandwidth", error, "{}"},
    {Id::refused_no_nodes, "no-nodes", error, "{}"},
    {Id::refused_out_of_range, "number-out-of-range", error, "{}"},
    {Id::refused_same_node_pipe, "same-node-pipe", error, "{}"},
    {Id::refused_zero_length, "zero-length", error, "{}"},
    {Id::refused_bad_diameter, "bad-diameter", error, "{}"},
    {Id::singular, "singular", error, "{}"},
    {Id::unreadable, "unreadable", error, "{}"},
    {Id::no_report, "no-report", note,
     "a .inp file has no report of the programs: --report leaves it out"},
    {Id::unnamed_id, "unnamed-id", warning, "the map names no {}: its ID is null"},
    {Id::records_unreadable, "records", error, "{}"},
    {Id::empty_network, "no-nodes", error, "the network has no nodes"},
    {Id::implied_decimals, "implied-decimals", warning,
     "{1} has no decimal point: \"{2}\" is read as {3} ({4} implied decimals)"},
    {Id::blank_in_number, "blank-in-number", warning,
     "{1}: blanks inside a number are dropped: \"{2}\" is read as {3}"},
    {Id::field_overrun, "field-overrun", warning,
     "a number runs across the boundary between {1} (columns {2}) and {3} (columns "
     "{4}): \"{5}\" is read as {6} and {7}"},
    {Id::last_field_overrun, "field-overrun", warning,
     "a number runs past the end of the record's last field, {1} (columns {2}): "
     "\"{3}\" is read as {4}, and \"{5}\" is not read"},
    {Id::comma_in_column_record, "comma-ends-field", warning,
     "a comma ends {1} early: \"{2}\" is read as {3}, and the next field starts at "
     "column {4}"},
    {Id::comma_record, "comma-ends-field", note,
     "commas separate the fields of this record: each field ends at its comma or at "
     "its last column, whichever comes first"},
    {Id::text_after_fields, "text-after-fields", warning,
     "text after the last field ({1}, ending at column {2}) is not read: \"{3}\""},
    {Id::tab_in_field, "tab", error,
     "a TAB in {1} ends the run with an input conversion error; line up columns with "
     "blanks"},
    {Id::tab_after_fields, "tab", warning,
     "a TAB after the last field: each TAB counts as one column, so columns lined up "
     "with TABs are not the columns the programs read; use blanks"},
    {Id::byte_order_mark, "byte-order-mark", note,
     "the file begins with a byte order mark (bytes EF BB BF), which the programs "
     "skip; tools that do not may read it as part of the first number"},
    {Id::editor_byte_in_field, "editor-bytes", error,
     "{1} holds the byte {2} ({3}): the run ends with an input conversion error"},
    {Id::editor_byte_after_fields, "editor-bytes", note,
     "the byte {1} ({2}) after the last field is not read"},
    {Id::unreadable_number, "not-a-number", error,
     "{1}: \"{2}\" is not {3}: the run ends here with an input conversion error"},
    {Id::too_many_digits, "too-many-digits", warning,
     "{1}: \"{2}\" is kept as {3} (a value keeps about 7 significant digits)"},
    {Id::echo_rounds, "echo-rounds", note,
     "{1}: {2} is used as read, but the report's echo prints it with {3} decimals, "
     "as {4}"},
    {Id::asterisks, "asterisks", warning,
     "{1}: {2} does not fit the report's {3} field: the echo prints asterisks and the "
     "run reports an output conversion error"},
    {Id::missing_record, "missing-record", error,
     "the file ends where {1} is expected ({2}): the run ends with an end-of-file "
     "failure"},
    {Id::number_out_of_range, "number-out-of-range", error,
     "{1} {2} is outside 1 ... {3}, the {4}: the run refuses the network"},
    {Id::duplicate_record, "duplicate-record", warning,
     "{1} {2} is given again (first on line {3}): this later record wins"},
    {Id::unused_node, "unused-node", warning, "node {1} is at the end of no pipe"},
    {Id::same_node_pipe, "same-node-pipe", error,
     "pipe {1} starts and ends at node {2}: its length is zero and the run stops"},
    {Id::zero_length, "zero-length", error,
     "pipe {1} joins nodes {2} and {3}, which lie at the same point ({4}, {5}): its "
     "length is zero and the run stops"},
    {Id::bad_diameter, "bad-diameter", error,
     "pipe {1} has a diameter of {2}: a diameter must be greater than 0; the run "
     "stops"},
    {Id::head_and_discharge, "head-and-discharge", warning,
     "node {1} has a known head (line {2}) and a known discharge (line {3}): the "
     "discharge is not used"},
    {Id::two_known_heads, "two-known-heads", warning,
     "node {1} has a second known head (first on line {2}): this later value, {3}, "
     "is the one used"},
    {Id::floating_group, "no-known-head", error, "{1} joined to no node with a known head: {2}"},
    {Id::half_bandwidth, "half-bandwidth", error,
     "pipe {1} joins nodes {2} and {3}: the half-bandwidth is {4}, {5} more than the "
     "limit of 20; number the nodes so that the two ends of every pipe are close"},
    {Id::capacity, "capacity", error,
     "{1} is {2}, more than the {3} the programs hold: the run refuses the network"},
    {Id::node_count_not_positive, "no-nodes", error,
     "the number of nodes is {1}: the run refuses a network without nodes"},
    {Id::print_flag, "print-flag", note,
     "this line is not read: turbnet reads its print flag from standard input, not "
     "from the file (echo 1 | turbnet)"},
    {Id::tolerance_not_positive, "tolerance-not-positive", warning,
     "the tolerance is {1}: a pass converges only when the residual is exactly zero, "
     "so the run goes on to the iteration limit"},
    {Id::iteration_limit, "iteration-limit", warning,
     "the maximum number of iterations is {1}: no correction follows the first "
     "solution, which is reported as not converged unless it meets the tolerance"},
    {Id::roughness_zero, "roughness-not-positive", error,
     "the relative roughness is {1}: every pipe coefficient is 0, and the run stops "
     "at a singular row"},
    {Id::roughness_negative, "roughness-not-positive", warning,
     "the relative roughness is {1}: every pipe coefficient is negative, so water "
     "would flow from low head to high head"},
    {Id::roughness_range, "roughness-range", warning,
     "the relative roughness is {1}, outside the usual range of the Hazen-Williams "
     "coefficient (about 60 to 160; larger means smoother pipe)"},
    {Id::loose_tolerance, "loose-tolerance", warning,
     "the tolerance {1} is loose: it is compared with sqrt(sum of squared "
     "residuals) / sum of |load|, where the load includes the known heads, so the "
     "nodal balance may be off by percents; for {2} nodes {3} is within reach of the "
     "programs' single precision, and pipenet solve in double precision reaches far "
     "tighter"},
    {Id::tight_tolerance, "tight-tolerance", note,
     "the tolerance {1} may be out of reach: for {2} nodes the rounding of the "
     "programs' single precision leaves a relative residual of up to about {3}, so "
     "the passes may stall above {1} and run to the iteration limit; pipenet solve "
     "in double precision reaches far tighter"},
    {Id::trailing_record, "trailing-record", warning,
     "this line looks like {1} but is not read: the header announces {2}"},
    {Id::trailing_text, "trailing-text", note,
     "this line and those after it come after the last record the counts announce "
     "and are not read"},
    {Id::record_shape, "record-shape", warning,
     "read as {1}, but the line has the shape of {2}: does a count in the header "
     "fall short?"},
    {Id::unset_node, "unset-node", warning,
     "node {1} is given by no node record: it stays at (0, 0)"},
    {Id::unset_pipe, "unset-pipe", error,
     "pipe {1} is given by no pipe record: its ends stay at node 0, and the run "
     "refuses the network"},
    {Id::free_form_record, "free-form-record", warning,
     "the numbers are separated by blanks, but every field has fixed columns ({1}): "
     "this line is read as {2}; put each number in its columns, or separate the "
     "numbers with commas (each field then ends at its comma)"},
    {Id::diameter_vs_length, "diameter-vs-length", warning,
     "pipe {1} has a diameter of {2}, larger than its length {3}: are both in the "
     "same unit?"},
    {Id::diameter_outlier, "diameter-outlier", warning,
     "pipe {1} has a diameter of {2}, more than a hundred times the median diameter "
     "{3}: millimetres typed for metres?"},
    {Id::findings_omitted, "findings-omitted", note,
     "{1} more findings in this file are not shown"},
    // What the .inp reader and the network model say of a .inp file, as they word it.
    {Id::inp_error, "inp", error, "{1}"},
    {Id::inp_warning, "inp", warning, "{1}"},
    {Id::inp_note, "inp", note, "{1}"},
    {Id::line_too_long, "inp", error, "line longer than 1024 characters"},
    {Id::stray_byte, "inp", error, "stray byte 0x{} in the line"},
    {Id::unclosed_quote, "inp", error, "a quoted token is not closed"},
    {Id::text_outside_section, "inp", warning, "text before the first section is ignored"},
    {Id::unknown_section, "inp", warning, "unknown section [{}] skipped"},
    {Id::bad_section_header, "inp", error, "a section header needs a closing ]"},
    {Id::too_few_fields, "inp", error, "[{}] needs at least {} fields, the line has {}"},
    {Id::not_a_number, "inp", error, "[{}]: '{}' is not a number"},
    {Id::id_too_long, "inp", error, "ID '{}' is longer than 31 characters"},
    {Id::empty_id, "inp", error, "an ID is empty"},
    {Id::duplicate_node, "inp", error, "node ID '{}' is given twice (first on line {})"},
    {Id::duplicate_link, "inp", error, "link ID '{}' is given twice (first on line {})"},
    {Id::unknown_node, "inp", error, "{} '{}' names node '{}', which does not exist"},
    {Id::unknown_link, "inp", error, "[{}] names link '{}', which does not exist"},
    {Id::unknown_pattern, "inp", error, "{} '{}' uses pattern '{}', which does not exist"},
    {Id::unknown_units, "inp", error, "unknown flow units '{}'"},
    {Id::unknown_headloss, "inp", error, "unknown head-loss formula '{}'"},
    {Id::unknown_status, "inp", error, "unknown status '{}'"},
    {Id::empty_pattern, "inp", error, "pattern '{}' has no multipliers"},
    {Id::section_after_end, "inp", note, "text after [END] is ignored"},
    {Id::bad_time, "inp", error, "'{}' is not a time (H:MM, H:MM:SS, or a number and a unit)"},
    {Id::pump_keyword, "inp", error, "pump '{}': {}"},
    {Id::pump_without_curve, "inp", error,
     "pump '{}' has no head curve (HEAD) and no power (POWER)"},
    {Id::unknown_curve, "inp", error, "{} '{}' uses curve '{}', which does not exist"},
    {Id::unknown_valve_type, "inp", error,
     "unknown valve type '{}' (PRV, PSV, PBV, FCV, TCV or GPV)"},
    {Id::bad_pump_curve, "inp", error, "pump '{}' uses curve '{}', whose {}"},
    {Id::units_si_as_lps, "inp", warning, "flow units SI read as LPS (litres per second)"},
    {Id::default_pattern_missing, "inp", warning,
     "default pattern '{}' does not exist: its multiplier is taken as 1"},
    {Id::coordinates_of_unknown_node, "inp", warning,
     "coordinates of node '{}', which does not exist, are ignored"},
    {Id::tank_as_reservoir, "inp", warning,
     "tank '{}' gives only its elevation: held at that head, as a reservoir"},
    {Id::no_nodes, "inp", error,
     "the file has no junctions, reservoirs or tanks: there is no network to import"},
    {Id::no_links, "inp", error,
     "the file has no pipes, pumps or valves: there is no network to import"},
    {Id::pump_refused, "inp", error,
     "pump '{}' cannot be represented: the programs have pipes only"},
    {Id::valve_refused, "inp", error,
     "valve '{}' cannot be represented: the programs have pipes only"},
    {Id::check_valve_refused, "inp", error,
     "pipe '{}' is a check valve, which cannot be represented"},
    {Id::emitter_refused, "inp", error, "emitter at junction '{}' cannot be represented"},
    {Id::headloss_refused, "inp", error,
     "head-loss formula {} cannot be represented: the programs use Hazen-Williams only"},
    {Id::more_refused, "inp", error, "... and {} more {} (lines {} to {}): {} in all"},
    {Id::valve_not_analysed, "inp", error,
     "valve '{}' is not analysed: pipenet analyses pipes only, for now"},
    {Id::emitter_not_analysed, "inp", error,
     "emitter at junction '{}' is not analysed: pipenet analyses fixed demands only, for now"},
    {Id::nonpositive_pipe_value, "inp", error,
     "pipe '{}' needs a positive length, diameter and roughness"},
    {Id::self_loop, "inp", warning, "pipe '{}' starts and ends at node '{}'"},
    {Id::closed_pipe_left_out, "inp", note, "pipe '{}' is closed and is left out"},
    {Id::minor_loss_dropped, "inp", warning, "pipe '{}': minor loss coefficient {} dropped"},
    {Id::controls_ignored, "inp", note,
     "[{}] present: statuses it may change later in a simulation are not applied"},
    {Id::coordinates_laid_out, "inp", warning,
     "{} nodes have no coordinates and were laid out on a grid {} m apart (first: '{}')"},
    {Id::coincident_node_moved, "inp", warning,
     "node '{}' lay on node '{}', the other end of pipe '{}': moved by {} m"},
    {Id::coordinates_shifted, "inp", note,
     "coordinates shifted by ({}, {}) m so that they fit their fields"},
    {Id::no_pipes, "inp", warning, "the network has no open pipes"},
    {Id::import_no_known_head, "inp", warning, "no reservoir or tank: no node has a known head"},
    {Id::capacity_exceeded, "inp", warning,
     "{} {} exceed the programs' capacity of {}; written anyway"},
    {Id::half_band_exceeded, "inp", warning,
     "half-bandwidth {} exceeds the programs' limit of {} by {}; written anyway"},
    {Id::value_out_of_range, "inp", error,
     "{} '{}': {} cannot be written as a number the programs read"},
    {Id::roughness_chosen, "inp", note,
     "single roughness (Hazen-Williams C) {}, the value of {} of {} pipes"},
    {Id::largest_diameter_change, "inp", note,
     "largest equivalent-diameter change: pipe '{}', {} m to {} m ({} %)"},
    {Id::closed_link_no_flow, "inp", note,
     "pipe '{}' is closed: it carries no flow and is left out of the analysis"},
    {Id::closed_pump, "inp", note,
     "pump '{}' is closed (by its status or a speed of 0): it carries no flow"},
    {Id::no_network, "inp", error, "the file holds no {}"},
    {Id::equivalent_pipes, "inp", note,
     "{} of {} pipes are written as equivalent pipes (the coordinates' length and the single "
     "roughness, diameter changed to match): --map lists each with its change"},
    {Id::not_an_inp_file, "inp", error, "this is not a .inp file: it has no [SECTION] line{}"},
    {Id::valve_fixed_heads, "inp", error,
     "valve '{}' joins two nodes of known head ('{}' and '{}'): it can hold nothing"},
    {Id::valve_fixed_heads_solved, "inp", warning,
     "valve '{}' joins two nodes of known head ('{}' and '{}'): its flow follows from their "
     "heads alone"},
    {Id::valve_at_fixed_head, "inp", warning,
     "valve '{}' is a {} joined to node '{}' of known head: the field's reference solver "
     "refuses such a valve; analysed here"},
    {Id::valve_controls_fixed_head, "inp", error,
     "valve '{}' is a {} whose controlled node '{}' has a known head: it cannot hold its "
     "setting"},
    {Id::valve_negative_setting, "inp", error, "valve '{}' has setting {}, below zero"},
    {Id::valve_bad_value, "inp", error, "valve '{}' needs {}"},
    {Id::valve_pressure_units, "inp", error,
     "pressure unit {} is not read: valve settings are taken in {}; give the settings in {}"},
    {Id::valve_curve_unusable, "inp", error, "curve '{}' of valve '{}' {}"},
    {Id::control_applied, "inp", note, "control applied: link '{}' {} from time {} on"},
    {Id::control_not_applied, "inp", note, "{} not applied: {}"},
    {Id::more_not_applied, "inp", note, "... and {} more {} not applied (lines {} to {}): {}"},
    {Id::export_bad_records, "inp", error, "the input cannot be exported: {}"},
    {Id::export_discharge_overridden, "inp", note,
     "node {} has a known head: its known discharge has no effect and is not exported"},
    {Id::export_bad_pipe, "inp", error,
     "the input cannot be exported: pipe {} has no length or no diameter"},
});

constexpr bool table_in_order() {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (static_cast<std::size_t>(table[i].id) != i) return false;
    return true;
}
static_assert(table_in_order(), "one entry per message, in the order of the enumeration");

} // namespace

std::string_view severity_name(Severity severity) {
    switch (severity) {
    case Severity::note:
        return "note";
    case Severity::warning:
        return "warning";
    case Severity::error:
        break;
    }
    return "error";
}

const Entry& entry(Id id) {
    return table[static_cast<std::size_t>(id)];
}

std::span<const Entry> all_entries() {
    return table;
}

std::string format(Id id, std::span<const std::string_view> values) {
    const std::string_view text = entry(id).text;
    std::string out;
    out.reserve(text.size() + 32);
    auto next = values.begin();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && i + 1 < text.size() && text[i + 1] == '}') {
            if (next != values.end()) out += *next++;
            ++i;
        } else if (text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '1' &&
                   text[i + 1] <= '9' && text[i + 2] == '}') {
            const auto k = static_cast<std::size_t>(text[i + 1] - '1');
            if (k < values.size()) out += *(values.begin() + k);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace pipenet::messages
