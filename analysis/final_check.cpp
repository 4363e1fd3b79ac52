#include "analysis/final_check.hpp"

#include <cmath>

namespace pipenet::analysis {

namespace {

// Each law written out in the form it is usually given, head loss as a function of discharge
// where that is its usual form, and turned round here.
double law_discharge(const model::Model& model, const model::Link& link, double dh) {
    const double d = link.diameter.value;
    const double l = link.length.value;
    const double c = link.roughness.value;
    switch (model.law) {
    case model::HeadLossLaw::laminar: {
        // Hagen-Poiseuille: Q = (rho g / mu) * pi * D^4 * dh / (128 L).
        const double pi = std::acos(-1.0);
        return model.rho_g_over_mu.value * pi * std::pow(d, 4.0) * dh / (128.0 * l);
    }
    case model::HeadLossLaw::hazen_williams_programs:
        return (dh < 0 ? -1.0 : 1.0) * 0.2784 * c * std::pow(d, 2.63) *
               std::pow(std::abs(dh), 0.54) / std::pow(l, 0.54);
    case model::HeadLossLaw::hazen_williams_inp:
        break;
    }
    const double resistance = 10.667 * l / (std::pow(c, 1.852) * std::pow(d, 4.871));
    return (dh < 0 ? -1.0 : 1.0) * std::pow(std::abs(dh) / resistance, 1.0 / 1.852);
}

} // namespace

FinalCheck check_final_state(const model::Model& model, const std::vector<bool>& free,
                             const std::vector<bool>& solved, const std::vector<double>& heads,
                             const std::vector<double>& flows) {
    FinalCheck check;
    const std::size_t n = model.nodes.size();
    std::vector<double> outflow(n, 0.0);
    for (std::size_t e = 0; e < model.links.size(); ++e) {
        const model::Link& link = model.links[e];
        const auto a = static_cast<std::size_t>(link.start);
        const auto b = static_cast<std::size_t>(link.end);
        if (!solved[a] || !solved[b]) continue;
        if (link.status == model::LinkStatus::closed) {
            if (flows[e] != 0.0 && check.max_law_error < std::abs(flows[e])) {
                check.max_law_error = std::abs(flows[e]);
                check.worst_link = static_cast<std::int32_t>(e);
            }
            continue;
        }
        const double q = law_discharge(model, link, heads[a] - heads[b]);
        if (!std::isfinite(q) || !std::isfinite(flows[e])) check.finite = false;
        const double error = std::abs(flows[e] - q);
        if (error > check.max_law_error) {
            check.max_law_error = error;
            check.worst_link = static_cast<std::int32_t>(e);
        }
        outflow[a] += q;
        outflow[b] -= q;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!free[i]) continue;
        if (!std::isfinite(heads[i])) check.finite = false;
        const double imbalance = std::abs(outflow[i] - model.nodes[i].demand.value);
        if (!(imbalance <= check.max_imbalance)) {
            check.max_imbalance = imbalance;
            check.worst_node = static_cast<std::int32_t>(i);
        }
    }
    return check;
}

} // namespace pipenet::analysis
