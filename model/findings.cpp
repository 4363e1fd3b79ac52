#include "model/findings.hpp"

#include <array>

namespace pipenet::model {

namespace {

constexpr std::array<FindingEntry, 33> table{{
    {Code::isolated_nodes, "isolated-nodes", Severity::warning,
     "{} junction(s) joined by open links to no known head are left out, their results null: {}"},
    {Code::no_known_head, "no-known-head", Severity::error,
     "no node has a known head: no head is determined"},
    {Code::bad_link, "bad-link", Severity::error, "link {}: {}"},
    {Code::not_positive_definite, "not-positive-definite", Severity::error,
     "the Newton matrix is not positive definite at pass {} (a link law without slope); "
     "nodes around {}"},
    {Code::not_converged, "not-converged", Severity::error,
     "not converged after {} passes: the worst node is {} with an imbalance of {} {}"},
    {Code::final_check_failed, "final-check-failed", Severity::error,
     "the final check of the heads failed: {}"},
    {Code::velocity_high, "velocity-high", Severity::warning,
     "{} link(s) carry water faster than {} m/s, up to {} m/s in link {}: discharges typed in "
     "L/s where m3/s are meant, or diameters in mm where metres are meant?"},
    {Code::all_inflows, "all-inflows", Severity::warning, shared_text::all_inflows},
    {Code::head_far_below, "head-far-below", Severity::warning,
     "the head at node {} is {}, {} below the lowest known head ({}): discharges far too large "
     "for the pipes?"},
    {Code::reynolds_not_laminar, "reynolds-not-laminar", Severity::warning,
     "link {} has a Reynolds number of {}, above the laminar range (2000), taking lengths in cm "
     "and g = 981 cm/s2: the laminar law does not hold there"},
    {Code::discharge_outlier, "discharge-outlier", Severity::warning,
     shared_text::discharge_outlier},
    {Code::negative_pressure, "negative-pressure", Severity::warning,
     "{} node(s) have a negative pressure ({}), the lowest {} m at node {}: the network cannot "
     "deliver the demands there"},
    {Code::tanks_fixed, "tanks-fixed", Severity::note,
     "{} tank(s) are held at their initial level: a fixed head in this snapshot"},
    {Code::inp_double_only, "inp-double-only", Severity::note,
     "a .inp file is analysed in double precision only: the programs' arithmetic is for their "
     "own files"},
    {Code::cut_off_by_check_valves, "cut-off-by-check-valves", Severity::warning,
     "{} junction(s) are joined to a known head only through check valves closed against the "
     "flow or valves closed by their state, so no water reaches them: {}"},
    {Code::valve_states_unsettled, "valve-states-unsettled", Severity::error,
     "the valves' states still changed after {} rounds of passes (valve {} last): no steady "
     "state was found"},
    {Code::end_of_file, "end-of-file", Severity::error,
     "the file ends before all the records its counts announce"},
    {Code::not_a_number_field, "not-a-number-field", Severity::error,
     "a field holds something that is not a number"},
    {Code::unreadable_records, "unreadable-records", Severity::error,
     "the file does not hold a network's records (failure {})"},
    {Code::balance_off, "balance-off", Severity::warning,
     "the balance of node {} is off by {}, more than 1 % of the largest given discharge ({})"},
    {Code::renumbered, "renumbered", Severity::note,
     "analysed with the nodes renumbered: half-bandwidth {} instead of {}; results under the "
     "file's own numbers"},
    {Code::renumber_skipped, "not-renumbered", Severity::warning, "not renumbered: {}"},
    {Code::iteration_limit_reached, "not-converged", Severity::error,
     "the iteration limit was reached before the residual met the tolerance"},
    {Code::head_not_a_number, "head-not-a-number", Severity::error,
     "a head came out as not a number"},
    {Code::band_too_large, "band-too-large", Severity::error,
     "the band of {} equations and half-bandwidth {} does not fit in memory (--renumber may "
     "narrow it)"},
    {Code::renumbered_row, "renumbered-row", Severity::note,
     "row {} of the renumbered system is node {} of the file"},
    {Code::refused, "refused", Severity::error, "{}"},
    {Code::singular, "singular", Severity::error, "{}"},
    {Code::unreadable, "unreadable", Severity::error, "{}"},
    // The .inp reader gives each of these its own severity.
    {Code::inp_read, "inp-read", Severity::error, "{}"},
    {Code::inp_model, "inp-model", Severity::error, "{}"},
    {Code::no_report, "no-report", Severity::note,
     "a .inp file has no report of the programs: --report leaves it out"},
    {Code::unnamed_id, "unnamed-id", Severity::warning, "the map names no {}: its ID is null"},
}};

constexpr bool table_in_order() {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (static_cast<std::size_t>(table[i].id) != i) return false;
    return true;
}
static_assert(table_in_order(), "one entry per code, in the order of the enumeration");

} // namespace

const FindingEntry& finding_entry(Code code) {
    return table[static_cast<std::size_t>(code)];
}

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

Finding make_finding(Code code, std::initializer_list<std::string> values, Place place) {
    const std::string_view pattern = finding_entry(code).text;
    Finding finding;
    finding.code = code;
    finding.place = place;
    auto next = values.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '{' && i + 1 < pattern.size() && pattern[i + 1] == '}' &&
            next != values.end()) {
            finding.text += *next++;
            ++i;
        } else {
            finding.text += pattern[i];
        }
    }
    return finding;
}

} // namespace pipenet::model
