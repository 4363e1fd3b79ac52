#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "engine/network_analysis.hpp"
#include "fuzz/checks.hpp"
#include "fuzz/engine_input.hpp"
#include "fuzz/harness.hpp"

namespace pipenet::fuzz {

namespace {

std::vector<std::uint32_t> bits_of(std::span<const float> values) {
    std::vector<std::uint32_t> bits;
    for (float v : values) bits.push_back(std::bit_cast<std::uint32_t>(v));
    return bits;
}

// The rules every outcome keeps with the results beside it.
void check_outcome(const NetworkAnalysis& analysis, const Outcome& outcome) {
    // A negative count in the header gives empty results.
    const auto nodes = static_cast<std::size_t>(std::max(0, analysis.node_count()));
    const auto pipes = static_cast<std::size_t>(std::max(0, analysis.pipe_count()));
    if (outcome.has_results()) {
        if (analysis.heads().size() != nodes || analysis.nodal_discharges().size() != nodes ||
            analysis.member_discharges().size() != pipes)
            broken("results sized from the counts", std::to_string(nodes));
    } else if (!analysis.heads().empty()) {
        broken("no results without an analysis that produced them", "");
    }
    const bool refused = outcome.kind == OutcomeKind::refused;
    if (refused != static_cast<bool>(outcome.fault)) broken("a fault exactly when refused", "");
    if (refused && is_pipe_fault(outcome.fault.code) &&
        (analysis.pipe_faults().empty() || analysis.pipe_faults().front() != outcome.fault))
        broken("a refusal for a pipe names the first faulty pipe", "");
    if (outcome.kind == OutcomeKind::singular &&
        (outcome.row < 1 || outcome.row > analysis.node_count()))
        broken("a singular row is an equation", std::to_string(outcome.row));
    if (analysis.flow() == Flow::turbulent && outcome.has_results() &&
        analysis.residuals().size() != static_cast<std::size_t>(outcome.passes) + 1)
        broken("one residual per pass", std::to_string(outcome.passes));
}

// Analyses twice: the same outcome and the same bits, the input being left as it was.
void analyse_twice(NetworkAnalysis& analysis) {
    const Outcome first = analysis.analyse();
    check_outcome(analysis, first);
    const auto heads = bits_of(analysis.heads());
    const auto members = bits_of(analysis.member_discharges());
    const Outcome second = analysis.analyse();
    check_outcome(analysis, second);
    if (second.kind != first.kind || second.passes != first.passes || second.row != first.row ||
        bits_of(analysis.heads()) != heads || bits_of(analysis.member_discharges()) != members)
        broken("analysing again gives the same outcome and bits", "");
}

} // namespace

void analyse_network_on(const std::uint8_t* data, std::size_t size) {
    const EngineInput input = take_apart(data, size);
    NetworkAnalysis analysis(input.turbulent ? Flow::turbulent : Flow::laminar);
    const int failure = analysis.read({input.text.data(), input.text.size()});
    if (failure != 0 && failure != 24 && failure != 64)
        broken("a text fails to read at its end or at a field", std::to_string(failure));
    if (failure != 0 && analysis.node_count() != 0) broken("a failed read leaves no network", "");
    analyse_twice(analysis);
    for (const Change& change : input.changes) {
        const std::int32_t count = change.kind == 0 ? analysis.pipe_count() : analysis.node_count();
        bool accepted = change.kind == 0 ? analysis.set_diameter(change.number, change.value)
                        : change.kind == 1
                            ? analysis.set_known_discharge(change.number, change.value)
                            : analysis.set_known_head(change.number, change.value);
        if (accepted && (change.number < 1 || change.number > count))
            broken("a change outside the network is refused", std::to_string(change.number));
    }
    analyse_twice(analysis);
}

} // namespace pipenet::fuzz
