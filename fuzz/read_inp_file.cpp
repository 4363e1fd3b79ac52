#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analyse.hpp"
#include "exchange/inp_export.hpp"
#include "exchange/inp_import.hpp"
#include "exchange/inp_reader.hpp"
#include "fuzz/checks.hpp"
#include "fuzz/harness.hpp"
#include "model/read_inp.hpp"

namespace pipenet::fuzz {

namespace {

bool same_records(const NetworkRecords& a, const NetworkRecords& b) {
    auto same_node = [](const NodeRecord& p, const NodeRecord& q) {
        return p.node == q.node && p.x == q.x && p.y == q.y;
    };
    auto same_element = [](const ElementRecord& p, const ElementRecord& q) {
        return p.element == q.element && p.start_node == q.start_node && p.end_node == q.end_node &&
               p.diameter == q.diameter;
    };
    auto same_discharge = [](const DischargeRecord& p, const DischargeRecord& q) {
        return p.node == q.node && p.discharge == q.discharge;
    };
    auto same_head = [](const HeadRecord& p, const HeadRecord& q) {
        return p.node == q.node && p.head == q.head;
    };
    return a.max_iterations == b.max_iterations && a.tolerance == b.tolerance &&
           a.relative_roughness == b.relative_roughness &&
           std::equal(a.nodes.begin(), a.nodes.end(), b.nodes.begin(), b.nodes.end(), same_node) &&
           std::equal(a.elements.begin(), a.elements.end(), b.elements.begin(), b.elements.end(),
                      same_element) &&
           std::equal(a.discharges.begin(), a.discharges.end(), b.discharges.begin(),
                      b.discharges.end(), same_discharge) &&
           std::equal(a.heads.begin(), a.heads.end(), b.heads.begin(), b.heads.end(), same_head);
}

} // namespace

namespace {

// The network model read from the file, and its analysis when the model takes it: every node
// and link has its result, and a node left out has no head.
void analyse_model_of(const exchange::InpNetwork& network) {
    model::Model m;
    std::vector<exchange::Diagnostic> diagnostics;
    if (!model::model_from_inp(network, "fuzz.inp", 3600, m, diagnostics)) return;
    for (const model::Link& link : m.links)
        if (link.start < 0 || link.end < 0 ||
            static_cast<std::size_t>(std::max(link.start, link.end)) >= m.nodes.size())
            broken("a link's ends are nodes of the model", link.id);
    analysis::Settings settings;
    settings.max_passes = 20;
    const analysis::Result r = analysis::analyse(m, settings);
    if (r.outcome != analysis::Outcome::solved && r.outcome != analysis::Outcome::not_converged)
        return;
    if (r.heads.size() != m.nodes.size() || r.flows.size() != m.links.size() ||
        r.solved.size() != m.nodes.size())
        broken("a result for every node and link", "");
    for (std::size_t i = 0; i < m.nodes.size(); ++i)
        if (r.solved[i] && !std::isfinite(r.heads[i]) && r.outcome == analysis::Outcome::solved)
            broken("a solved node has a finite head", m.nodes[i].id);
}

} // namespace

void read_inp_file(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    exchange::InpNetwork network;
    std::vector<exchange::Diagnostic> diagnostics;
    bool read = exchange::read_inp(text, network, diagnostics);
    for (const exchange::Diagnostic& d : diagnostics) {
        if (d.text.empty()) broken("every message has a text", "");
        if (d.line < 0) broken("a message's line is not negative", d.text);
    }
    analyse_model_of(network);
    if (!read) return;

    exchange::ImportedNetwork imported;
    if (!exchange::import_network(network, imported, diagnostics)) return;
    const NetworkRecords& records = imported.records;
    if (imported.node_ids.size() != records.nodes.size() ||
        imported.pipe_ids.size() != records.elements.size())
        broken("the map names every node and pipe", "");
    std::string why;
    if (!check_node_numbers(records, why)) broken("an import numbers its nodes 1 ... count", why);

    std::string written;
    if (!write_network_records(records, written, why))
        broken("an imported network writes in its layouts", why);
    NetworkRecords back;
    if (!read_network_records(written, Program::turbnet, back, why))
        broken("a written input reads back", why);
    if (!same_records(back, records)) broken("a written input reads back to the same records", "");

    std::string inp;
    if (!exchange::export_network(records, exchange::LengthUnit::metre, inp, diagnostics))
        broken("an imported network exports", diagnostics.back().text);
}

} // namespace pipenet::fuzz
