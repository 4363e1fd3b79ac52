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
        switch (d.severity) {
        case exchange::Severity::error:
            f.severity = Severity::error;
            f.message = Message::inp_error;
            ++result.errors;
            break;
        case exchange::Severity::warning:
            f.severity = Severity::warning;
            f.message = Message::inp_warning;
            ++result.warnings;
            break;
        case exchange::Severity::note:
            f.severity = Severity::note;
            f.message = Message::inp_note;
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
