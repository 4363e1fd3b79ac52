#include "plot/plot_network.hpp"

#include <cmath>

#include "model/read_inp.hpp"
#include "solve/solve_network.hpp"

namespace pipenet::plot {

PlotNetwork plot_network_of(std::string_view file, const NetworkRecords& records,
                            const solve::NetworkResult* result) {
    PlotNetwork network;
    network.file = file;
    network.program = records.program;
    network.nodes.resize(records.nodes.size());
    for (const NodeRecord& record : records.nodes) {
        PlotNode& node = network.nodes[static_cast<std::size_t>(record.node - 1)];
        node.node = record.node;
        node.x = record.x;
        node.y = record.y;
    }
    for (const DischargeRecord& record : records.discharges)
        network.nodes[static_cast<std::size_t>(record.node - 1)].known_discharge = record.discharge;
    for (const HeadRecord& record : records.heads)
        network.nodes[static_cast<std::size_t>(record.node - 1)].known_head = record.head;
    for (const ElementRecord& record : records.elements) {
        PlotPipe pipe;
        pipe.pipe = record.element;
        pipe.start = record.start_node;
        pipe.end = record.end_node;
        pipe.diameter = record.diameter;
        if (records.program == Program::turbnet) pipe.roughness = records.relative_roughness;
        const PlotNode& start = network.nodes[static_cast<std::size_t>(record.start_node - 1)];
        const PlotNode& end = network.nodes[static_cast<std::size_t>(record.end_node - 1)];
        pipe.length = static_cast<float>(std::hypot(end.x - start.x, end.y - start.y));
        network.pipes.push_back(pipe);
    }
    if (result == nullptr) return network;

    network.analysed = true;
    network.verdict = result->verdict;
    for (const solve::Message& m : result->messages) {
        network.messages.push_back(m.text);
        if (m.severity == "warning") network.warnings.push_back(m.code + ": " + m.text);
    }
    if (!result->passes.empty() && result->passes.back().relative_residual)
        network.last_residual = static_cast<float>(*result->passes.back().relative_residual);
    // The results hold the stored network: as many nodes and pipes as the records when the
    // analysis read them all.
    if (result->nodes.size() != network.nodes.size() ||
        result->pipes.size() != network.pipes.size())
        return network;
    network.has_results = true;
    for (const solve::NodeResult& node : result->nodes)
        network.nodes[static_cast<std::size_t>(node.node - 1)].head = static_cast<float>(node.head);
    for (std::size_t e = 0; e < network.pipes.size(); ++e) {
        network.pipes[e].discharge = static_cast<float>(result->pipes[e].discharge);
        network.pipes[e].velocity = static_cast<float>(result->pipes[e].velocity);
        network.pipes[e].head_loss = static_cast<float>(result->pipes[e].head_loss);
        network.pipes[e].length = static_cast<float>(result->pipes[e].length);
    }
    return network;
}

bool load_plot_network(std::string_view file, std::string_view text, Program program,
                       const PlotSettings& settings, PlotNetwork& network, std::string& error) {
    NetworkRecords records;
    if (!read_network_records(text, program, records, error)) return false;
    if (!check_node_numbers(records, error)) return false;
    if (!settings.results) {
        network = plot_network_of(file, records, nullptr);
    } else {
        solve::SolveSettings solve_settings;
        solve_settings.renumber = settings.renumber;
        // The pictures show the programs' results, as their reports print them.
        solve_settings.arithmetic = solve::Arithmetic::programs;
        // Records that do not stand for what the program reads (turbnet's node group without
        // a node) are left to the engine's own reading of the text.
        const solve::NetworkResult result =
            read_alike_by_program(records)
                ? solve::solve_records(file, records, solve_settings)
                : solve::solve_network(file, text, program, solve_settings);
        network = plot_network_of(file, records, &result);
    }
    if (settings.band) network.band = band_pattern_of(records);
    return true;
}

bool load_plot_inp(std::string_view file, std::string_view text, std::int64_t time,
                   const PlotSettings& settings, PlotNetwork& network, std::string& error) {
    // The text is read once: by the analysis when results are wanted, else by the reader.
    model::Model m;
    solve::NetworkResult result;
    bool refused = false;
    if (settings.results) {
        solve::SolveSettings solve_settings;
        solve_settings.time = time;
        result = solve::solve_inp(file, text, solve_settings, &m);
        refused = m.nodes.empty();
        for (const solve::Message& message : result.messages)
            if (refused && message.severity == "error") {
                error = message.text;
                break;
            }
    } else {
        std::vector<exchange::Diagnostic> diagnostics;
        refused = !model::read_inp_model(text, std::string(file), time, m, diagnostics);
        for (const exchange::Diagnostic& d : diagnostics)
            if (refused && d.severity == exchange::Severity::error) {
                error = (d.line > 0 ? "line " + std::to_string(d.line) + ": " : "") + d.text;
                break;
            }
    }
    if (refused) {
        if (error.empty()) error = "the file holds no network to draw";
        return false;
    }
    network = PlotNetwork{};
    network.file = file;
    network.program = Program::turbnet;
    network.inp = true;
    for (std::size_t i = 0; i < m.nodes.size(); ++i) {
        const model::Node& n = m.nodes[i];
        PlotNode node;
        node.node = static_cast<std::int32_t>(i + 1);
        node.x = n.x.value;
        node.y = n.y.value;
        node.id = n.id;
        if (n.fixed_head) node.known_head = static_cast<float>(n.fixed_head->value);
        node.known_discharge = static_cast<float>(n.demand.value);
        if (!n.fixed_head) node.elevation = static_cast<float>(n.elevation.value);
        network.nodes.push_back(node);
    }
    for (std::size_t e = 0; e < m.links.size(); ++e) {
        const model::Link& l = m.links[e];
        PlotPipe pipe;
        pipe.pipe = static_cast<std::int32_t>(e + 1);
        pipe.start = l.start + 1;
        pipe.end = l.end + 1;
        pipe.diameter = static_cast<float>(l.diameter.value);
        pipe.length = static_cast<float>(l.length.value);
        pipe.roughness = static_cast<float>(l.roughness.value);
        pipe.id = l.id;
        pipe.pump = l.kind == model::LinkKind::pump;
        pipe.check_valve = l.kind == model::LinkKind::pipe && l.check_valve;
        network.pipes.push_back(pipe);
    }
    for (const model::Valve& v : m.valves) {
        PlotPipe& pipe = network.pipes.at(static_cast<std::size_t>(v.link));
        pipe.valve = model::valve_type_name(v.type);
        if (v.type != model::ValveType::gpv) pipe.setting = v.setting;
    }
    if (!settings.results) return true;

    network.analysed = true;
    network.verdict = result.verdict;
    for (const solve::Message& message : result.messages) {
        network.messages.push_back(message.text);
        if (message.severity == "warning")
            network.warnings.push_back(message.code + ": " + message.text);
    }
    if (result.nodes.size() != network.nodes.size() || result.pipes.size() != network.pipes.size())
        return true;
    network.has_results = true;
    for (std::size_t i = 0; i < result.nodes.size(); ++i) {
        network.nodes[i].head = static_cast<float>(result.nodes[i].head);
        if (result.nodes[i].pressure)
            network.nodes[i].pressure = static_cast<float>(*result.nodes[i].pressure);
    }
    for (std::size_t e = 0; e < result.pipes.size(); ++e) {
        network.pipes[e].discharge = static_cast<float>(result.pipes[e].discharge);
        network.pipes[e].velocity = static_cast<float>(result.pipes[e].velocity);
        network.pipes[e].head_loss = static_cast<float>(result.pipes[e].head_loss);
        network.pipes[e].state = result.pipes[e].state;
    }
    return true;
}

} // namespace pipenet::plot
