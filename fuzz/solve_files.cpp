#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz/checks.hpp"
#include "fuzz/harness.hpp"
#include "solve/render.hpp"
#include "solve/solve_network.hpp"

namespace pipenet::fuzz {

namespace {

// A JSON number or null against the float it was written from: the same float, bit for bit.
void check_float(const nlohmann::json& value, float original, const char* field) {
    if (!std::isfinite(original)) {
        if (!value.is_null()) broken("a value that is not finite is null", field);
        return;
    }
    if (!value.is_number()) broken("a finite value is a number", field);
    const float back = static_cast<float>(value.get<double>());
    if (std::bit_cast<std::uint32_t>(back) != std::bit_cast<std::uint32_t>(original) &&
        !(back == 0.0f && original == 0.0f))
        broken("a JSON number reads back to the float it came from", field);
}

std::size_t rows(const std::string& table) {
    std::size_t count = 0;
    for (std::size_t at = table.find("\r\n"); at != std::string::npos;
         at = table.find("\r\n", at + 2))
        ++count;
    return count;
}

} // namespace

void solve_file_on(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return;
    const Program program = (data[0] & 1) != 0 ? Program::turbnet : Program::lamnet;
    solve::SolveSettings settings;
    settings.renumber = (data[0] & 2) != 0;
    settings.report = (data[0] & 4) != 0;
    // The checks below compare floats: the programs' arithmetic.
    settings.arithmetic = solve::Arithmetic::programs;
    std::vector<char> file(data + 1, data + size);
    if (program == Program::turbnet)
        bound_iteration_limit(file, static_cast<char>('0' + (data[0] / 8) % 10));
    const std::string_view text(file.data(), file.size());

    const solve::NetworkResult result = solve::solve_network("fuzz", text, program, settings);
    const bool with_results = result.verdict == solve::Verdict::solved ||
                              result.verdict == solve::Verdict::not_converged ||
                              result.verdict == solve::Verdict::not_a_number;
    if (with_results == result.nodes.empty()) broken("results exactly when analysed", "");
    if (result.verdict != solve::Verdict::solved && result.messages.empty())
        broken("a failure says why", solve::verdict_name(result.verdict));

    const nlohmann::json document = nlohmann::json::parse(solve::json_document(result));
    if (document["outcome"] != solve::verdict_name(result.verdict))
        broken("the document's outcome", "");
    if (document["nodes"].size() != result.nodes.size() ||
        document["pipes"].size() != result.pipes.size() ||
        document["passes"].size() != result.passes.size())
        broken("every result in the document", "");
    for (std::size_t i = 0; i < result.nodes.size(); ++i) {
        const solve::NodeResult& node = result.nodes[i];
        const nlohmann::json& written = document["nodes"][i];
        if (node.node != static_cast<std::int32_t>(i + 1) || written["node"] != node.node)
            broken("nodes in the order of the file's numbers", std::to_string(node.node));
        check_float(written["head"], static_cast<float>(node.head), "head");
        check_float(written["discharge"], static_cast<float>(node.discharge), "discharge");
        check_float(written["x"], static_cast<float>(node.x), "x");
    }
    for (std::size_t i = 0; i < result.pipes.size(); ++i) {
        const solve::PipeResult& pipe = result.pipes[i];
        const nlohmann::json& written = document["pipes"][i];
        if (pipe.start < 1 || pipe.end < 1 ||
            pipe.start > static_cast<std::int32_t>(result.nodes.size()) ||
            pipe.end > static_cast<std::int32_t>(result.nodes.size()))
            broken("pipe ends are nodes", std::to_string(pipe.pipe));
        check_float(written["discharge"], static_cast<float>(pipe.discharge), "pipe discharge");
        check_float(written["velocity"], static_cast<float>(pipe.velocity), "velocity");
    }
    if (rows(solve::csv_nodes(result, result.labelled)) != result.nodes.size() ||
        rows(solve::csv_pipes(result, result.labelled)) != result.pipes.size() ||
        rows(solve::csv_passes(result)) != result.passes.size())
        broken("one CSV row per result", "");
}

} // namespace pipenet::fuzz
