#include "plot/plot_network.hpp"

#include <cmath>

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
        return true;
    }
    solve::SolveSettings solve_settings;
    solve_settings.renumber = settings.renumber;
    // The pictures show the programs' results, as their reports print them.
    solve_settings.arithmetic = solve::Arithmetic::programs;
    const solve::NetworkResult result = solve::solve_network(file, text, program, solve_settings);
    network = plot_network_of(file, records, &result);
    return true;
}

} // namespace pipenet::plot
