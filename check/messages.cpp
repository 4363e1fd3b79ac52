#include "check/messages.hpp"

#include <array>

#include "model/findings.hpp"

namespace pipenet::check {

namespace {

using enum Message;
using enum Severity;

constexpr std::array message_table{
    MessageEntry{implied_decimals, "implied-decimals", warning,
                 "{1} has no decimal point: \"{2}\" is read as {3} ({4} implied decimals)"},
    MessageEntry{blank_in_number, "blank-in-number", warning,
                 "{1}: blanks inside a number are dropped: \"{2}\" is read as {3}"},
    MessageEntry{field_overrun, "field-overrun", warning,
                 "a number runs across the boundary between {1} (columns {2}) and {3} (columns "
                 "{4}): \"{5}\" is read as {6} and {7}"},
    MessageEntry{last_field_overrun, "field-overrun", warning,
                 "a number runs past the end of the record's last field, {1} (columns {2}): "
                 "\"{3}\" is read as {4}, and \"{5}\" is not read"},
    MessageEntry{comma_in_column_record, "comma-ends-field", warning,
                 "a comma ends {1} early: \"{2}\" is read as {3}, and the next field starts at "
                 "column {4}"},
    MessageEntry{comma_record, "comma-ends-field", note,
                 "commas separate the fields of this record: each field ends at its comma or at "
                 "its last column, whichever comes first"},
    MessageEntry{text_after_fields, "text-after-fields", warning,
                 "text after the last field ({1}, ending at column {2}) is not read: \"{3}\""},
    MessageEntry{tab_in_field, "tab", error,
                 "a TAB in {1} ends the run with an input conversion error; line up columns with "
                 "blanks"},
    MessageEntry{tab_after_fields, "tab", warning,
                 "a TAB after the last field: each TAB counts as one column, so columns lined up "
                 "with TABs are not the columns the programs read; use blanks"},
    MessageEntry{byte_order_mark, "byte-order-mark", note,
                 "the file begins with a byte order mark (bytes EF BB BF), which the programs "
                 "skip; tools that do not may read it as part of the first number"},
    MessageEntry{editor_byte_in_field, "editor-bytes", error,
                 "{1} holds the byte {2} ({3}): the run ends with an input conversion error"},
    MessageEntry{editor_byte_after_fields, "editor-bytes", note,
                 "the byte {1} ({2}) after the last field is not read"},
    MessageEntry{not_a_number, "not-a-number", error,
                 "{1}: \"{2}\" is not {3}: the run ends here with an input conversion error"},
    MessageEntry{too_many_digits, "too-many-digits", warning,
                 "{1}: \"{2}\" is kept as {3} (a value keeps about 7 significant digits)"},
    MessageEntry{echo_rounds, "echo-rounds", note,
                 "{1}: {2} is used as read, but the report's echo prints it with {3} decimals, "
                 "as {4}"},
    MessageEntry{asterisks, "asterisks", warning,
                 "{1}: {2} does not fit the report's {3} field: the echo prints asterisks and the "
                 "run reports an output conversion error"},
    MessageEntry{missing_record, "missing-record", error,
                 "the file ends where {1} is expected ({2}): the run ends with an end-of-file "
                 "failure"},
    MessageEntry{number_out_of_range, "number-out-of-range", error,
                 "{1} {2} is outside 1 ... {3}, the {4}: the run refuses the network"},
    MessageEntry{duplicate_record, "duplicate-record", warning,
                 "{1} {2} is given again (first on line {3}): this later record wins"},
    MessageEntry{unused_node, "unused-node", warning, "node {1} is at the end of no pipe"},
    MessageEntry{same_node_pipe, "same-node-pipe", error,
                 "pipe {1} starts and ends at node {2}: its length is zero and the run stops"},
    MessageEntry{zero_length, "zero-length", error,
                 "pipe {1} joins nodes {2} and {3}, which lie at the same point ({4}, {5}): its "
                 "length is zero and the run stops"},
    MessageEntry{bad_diameter, "bad-diameter", error,
                 "pipe {1} has a diameter of {2}: a diameter must be greater than 0; the run "
                 "stops"},
    MessageEntry{head_and_discharge, "head-and-discharge", warning,
                 "node {1} has a known head (line {2}) and a known discharge (line {3}): the "
                 "discharge is not used"},
    MessageEntry{two_known_heads, "two-known-heads", warning,
                 "node {1} has a second known head (first on line {2}): this later value, {3}, "
                 "is the one used"},
    MessageEntry{no_known_head, "no-known-head", error,
                 "{1} joined to no node with a known head: {2}"},
    MessageEntry{half_bandwidth, "half-bandwidth", error,
                 "pipe {1} joins nodes {2} and {3}: the half-bandwidth is {4}, {5} more than the "
                 "limit of 20; number the nodes so that the two ends of every pipe are close"},
    MessageEntry{capacity, "capacity", error,
                 "{1} is {2}, more than the {3} the programs hold: the run refuses the network"},
    MessageEntry{no_nodes, "no-nodes", error,
                 "the number of nodes is {1}: the run refuses a network without nodes"},
    MessageEntry{print_flag, "print-flag", note,
                 "this line is not read: turbnet reads its print flag from standard input, not "
                 "from the file (echo 1 | turbnet)"},
    MessageEntry{tolerance_not_positive, "tolerance-not-positive", warning,
                 "the tolerance is {1}: a pass converges only when the residual is exactly zero, "
                 "so the run goes on to the iteration limit"},
    MessageEntry{iteration_limit, "iteration-limit", warning,
                 "the maximum number of iterations is {1}: no correction follows the first "
                 "solution, which is reported as not converged unless it meets the tolerance"},
    MessageEntry{roughness_zero, "roughness-not-positive", error,
                 "the relative roughness is {1}: every pipe coefficient is 0, and the run stops "
                 "at a singular row"},
    MessageEntry{roughness_negative, "roughness-not-positive", warning,
                 "the relative roughness is {1}: every pipe coefficient is negative, so water "
                 "would flow from low head to high head"},
    MessageEntry{roughness_range, "roughness-range", warning,
                 "the relative roughness is {1}, outside the usual range of the Hazen-Williams "
                 "coefficient (about 60 to 160; larger means smoother pipe)"},
    MessageEntry{loose_tolerance, "loose-tolerance", warning,
                 "the tolerance {1} is loose: it is compared with sqrt(sum of squared "
                 "residuals) / sum of |load|, where the load includes the known heads, so the "
                 "nodal balance may be off by percents; for {2} nodes {3} is within reach of the "
                 "programs' single precision, and pipenet solve in double precision reaches far "
                 "tighter"},
    MessageEntry{tight_tolerance, "tight-tolerance", note,
                 "the tolerance {1} may be out of reach: for {2} nodes the rounding of the "
                 "programs' single precision leaves a relative residual of up to about {3}, so "
                 "the passes may stall above {1} and run to the iteration limit; pipenet solve "
                 "in double precision reaches far tighter"},
    MessageEntry{trailing_record, "trailing-record", warning,
                 "this line looks like {1} but is not read: the header announces {2}"},
    MessageEntry{trailing_text, "trailing-text", note,
                 "this line and those after it come after the last record the counts announce "
                 "and are not read"},
    MessageEntry{record_shape, "record-shape", warning,
                 "read as {1}, but the line has the shape of {2}: does a count in the header "
                 "fall short?"},
    MessageEntry{unset_node, "unset-node", warning,
                 "node {1} is given by no node record: it stays at (0, 0)"},
    MessageEntry{unset_pipe, "unset-pipe", error,
                 "pipe {1} is given by no pipe record: its ends stay at node 0, and the run "
                 "refuses the network"},
    MessageEntry{free_form_record, "free-form-record", warning,
                 "the numbers are separated by blanks, but every field has fixed columns ({1}): "
                 "this line is read as {2}; put each number in its columns, or separate the "
                 "numbers with commas (each field then ends at its comma)"},
    MessageEntry{diameter_vs_length, "diameter-vs-length", warning,
                 "pipe {1} has a diameter of {2}, larger than its length {3}: are both in the "
                 "same unit?"},
    MessageEntry{diameter_outlier, "diameter-outlier", warning,
                 "pipe {1} has a diameter of {2}, more than a hundred times the median diameter "
                 "{3}: millimetres typed for metres?"},
    // The analysis's own plausibility findings, from the records alone.
    MessageEntry{all_inflows, "all-inflows", warning, model::shared_text::all_inflows},
    MessageEntry{discharge_outlier, "discharge-outlier", warning,
                 model::shared_text::discharge_outlier},
    MessageEntry{findings_omitted, "findings-omitted", note,
                 "{1} more findings in this file are not shown"},
    // What the .inp reader and the network model say of a .inp file, as they word it.
    MessageEntry{inp_error, "inp", error, "{1}"},
    MessageEntry{inp_warning, "inp", warning, "{1}"},
    MessageEntry{inp_note, "inp", note, "{1}"},
};

constexpr bool table_in_order() {
    for (std::size_t i = 0; i < message_table.size(); ++i)
        if (static_cast<std::size_t>(message_table[i].id) != i) return false;
    return true;
}
static_assert(table_in_order(), "one entry per message, in the order of the enumeration");

} // namespace

const MessageEntry& message_entry(Message id) {
    return message_table[static_cast<std::size_t>(id)];
}

std::string_view severity_name(Severity severity) {
    switch (severity) {
    case Severity::note:
        return "note";
    case Severity::warning:
        return "warning";
    case Severity::error:
        return "error";
    }
    return "error";
}

std::string format_message(Message id, std::initializer_list<std::string_view> values) {
    std::string_view text = message_entry(id).text;
    std::string out;
    out.reserve(text.size() + 32);
    std::size_t next = 0; // "{}" takes the values in order
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && i + 1 < text.size() && text[i + 1] == '}') {
            if (next < values.size()) out += *(values.begin() + next);
            ++next;
            ++i;
        } else if (text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '1' &&
                   text[i + 1] <= '9' && text[i + 2] == '}') {
            auto k = static_cast<std::size_t>(text[i + 1] - '1');
            if (k < values.size()) out += *(values.begin() + k);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace pipenet::check
