#include "analysis/plausibility.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace pipenet::analysis {

namespace {

std::string number_text(double value) {
    std::array<char, 32> text{};
    auto end =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 6)
            .ptr;
    return {text.data(), end};
}

} // namespace

std::vector<model::Finding> input_findings(const model::Model& model) {
    std::vector<model::Finding> findings;
    std::size_t inflows = 0;
    std::size_t outflows = 0;
    std::vector<double> magnitudes;
    for (const model::Node& node : model.nodes) {
        if (node.fixed_head) continue;
        const double q = node.demand.value;
        if (q > 0.0) ++inflows;
        if (q < 0.0) ++outflows;
        if (q != 0.0) magnitudes.push_back(std::abs(q));
    }
    if (inflows > 0 && outflows == 0)
        findings.push_back(
            model::make_finding(model::Code::all_inflows, {std::to_string(inflows)}));

    // The median of the magnitudes, and each discharge against the median of the others (which
    // with three or more differs from the whole median by at most one place).
    if (magnitudes.size() >= 3) {
        std::vector<double> sorted = magnitudes;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted[(sorted.size() - 1) / 2];
        for (const model::Node& node : model.nodes) {
            if (node.fixed_head) continue;
            if (std::abs(node.demand.value) > discharge_outlier_ratio * median) {
                findings.push_back(model::make_finding(
                    model::Code::discharge_outlier,
                    {node.id, number_text(node.demand.value), number_text(median)},
                    node.demand.place));
            }
        }
    }
    return findings;
}

std::vector<model::Finding> result_findings(const model::Model& model, const Result& result) {
    std::vector<model::Finding> findings;
    if (result.heads.size() != model.nodes.size()) return findings;
    const bool laminar = model.law == model::HeadLossLaw::laminar;
    std::size_t fast = 0;
    double fastest = 0.0;
    std::size_t fastest_link = 0;
    double highest_reynolds = 0.0;
    std::size_t reynolds_link = 0;
    for (std::size_t e = 0; e < model.links.size(); ++e) {
        const double q = result.flows[e];
        // A pump has no cross-section to speak of a velocity in.
        if (!std::isfinite(q) || model.links[e].kind == model::LinkKind::pump) continue;
        const double d = model.links[e].diameter.value;
        const double velocity = std::abs(q) / (std::numbers::pi / 4.0 * d * d);
        if (laminar) {
            // Re = v D / nu with nu = mu / rho = g / (rho g / mu), g in cm/s^2.
            const double reynolds = velocity * d * model.rho_g_over_mu.value / 981.0;
            if (reynolds > highest_reynolds) {
                highest_reynolds = reynolds;
                reynolds_link = e;
            }
        } else if (velocity > implausible_velocity) {
            ++fast;
            if (velocity > fastest) {
                fastest = velocity;
                fastest_link = e;
            }
        }
    }
    if (fast > 0)
        findings.push_back(
            model::make_finding(model::Code::velocity_high,
                                {std::to_string(fast), number_text(implausible_velocity),
                                 number_text(fastest), model.links[fastest_link].id},
                                model.links[fastest_link].record));
    if (highest_reynolds > laminar_reynolds_limit)
        findings.push_back(
            model::make_finding(model::Code::reynolds_not_laminar,
                                {model.links[reynolds_link].id, number_text(highest_reynolds)},
                                model.links[reynolds_link].record));

    // Far below: under the lowest known head by more than the larger of 1000 length units and
    // ten times the spread of the known heads.
    double lowest = INFINITY;
    double highest = -INFINITY;
    for (const model::Node& node : model.nodes)
        if (node.fixed_head) {
            lowest = std::min(lowest, node.fixed_head->value);
            highest = std::max(highest, node.fixed_head->value);
        }
    if (std::isfinite(lowest)) {
        const double margin = std::max(1000.0, 10.0 * (highest - lowest));
        std::size_t worst = model.nodes.size();
        for (std::size_t i = 0; i < model.nodes.size(); ++i)
            if (result.solved[i] && std::isfinite(result.heads[i]) &&
                result.heads[i] < lowest - margin &&
                (worst == model.nodes.size() || result.heads[i] < result.heads[worst]))
                worst = i;
        if (worst < model.nodes.size())
            findings.push_back(model::make_finding(
                model::Code::head_far_below,
                {model.nodes[worst].id, number_text(result.heads[worst]),
                 number_text(lowest - result.heads[worst]), number_text(lowest)}));
    }
    return findings;
}

} // namespace pipenet::analysis
