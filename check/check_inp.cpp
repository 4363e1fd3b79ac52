#include "check/check_inp.hpp"

#include <algorithm>

#include "model/read_inp.hpp"

namespace pipenet::check {

void check_inp(std::string_view text, CheckResult& result) {
    result = CheckResult{};
    result.inp = true;
    result.file_read = true;
    model::Model m;
    std::vector<exchange::Diagnostic> diagnostics;
    model::read_inp_model(text, "", 0, m, diagnostics);
    result.header_read = true;
    result.node_count = static_cast<std::int32_t>(m.nodes.size());
    // The pipes alone: pumps are links, not pipes.
    result.pipe_count = static_cast<std::int32_t>(
        std::count_if(m.links.begin(), m.links.end(),
                      [](const model::Link& l) { return l.kind == model::LinkKind::pipe; }));
    for (const model::Node& node : m.nodes) {
        if (node.fixed_head) ++result.known_head_count;
        if (!node.fixed_head && node.demand.value != 0.0) ++result.known_discharge_count;
    }
    result.lines = static_cast<std::int32_t>(std::count(text.begin(), text.end(), '\n'));
    for (const exchange::Diagnostic& d : diagnostics) {
        Finding f;
        f.line = d.line;
        f.text = d.text;
        f.severity = d.severity;
        f.message = exchange::message_of(d);
        switch (d.severity) {
        case Severity::error:
            ++result.errors;
            break;
        case Severity::warning:
            ++result.warnings;
            break;
        case Severity::note:
            ++result.notes;
            break;
        }
        if (result.findings.size() < max_findings_kept) {
            result.findings.push_back(std::move(f));
        } else {
            ++result.omitted;
        }
    }
}

} // namespace pipenet::check
