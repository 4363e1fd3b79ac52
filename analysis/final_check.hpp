// The check of a final state that decides whether an analysis is called solved: every link's law
// and every free node's balance recomputed from the heads alone, in double precision, with code
// of its own rather than the passes' element laws, so that a fault in those cannot pass itself.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/analyse.hpp"
#include "analysis/power_memo.hpp"
#include "model/network_model.hpp"

namespace pipenet::analysis {

struct FinalCheck {
    double max_imbalance = 0.0;   // over the free nodes, with the recomputed discharges
    std::int32_t worst_node = -1; // index of that node, or -1
    double max_law_error = 0.0;   // over the open links: the given discharge minus the law's
    std::int32_t worst_link = -1;
    // Over the active PRVs, PSVs and PBVs: how far the controlled head or head drop is from the
    // setting (length unit).
    double max_setting_error = 0.0;
    std::int32_t worst_setting_link = -1;
    bool finite = true; // every head and discharge is a finite number
    bool holds(double flow_tolerance, double head_tolerance) const {
        return finite && max_imbalance <= flow_tolerance && max_law_error <= flow_tolerance &&
               max_setting_error <= head_tolerance;
    }
};

// The factors of the Hazen-Williams laws that depend on a link's values alone, worked out by the
// check's own code and kept between checks while the law and the link's values stay the same (a
// re-solve after a change of one pipe works out one again).
class CheckCoefficients {
public:
    // For link e of `model`: the Hazen-Williams (programs') coefficient 0.2784 C D^2.63 / L^0.54,
    // or the .inp law's resistance 10.667 L / (C^1.852 D^4.871).
    double of(const model::Model& model, std::size_t e);

private:
    model::HeadLossLaw law_ = model::HeadLossLaw::laminar;
    std::vector<std::array<double, 3>> values_; // diameter, length, roughness
    std::vector<double> coefficients_;
};

// Per node, `free` is nonzero where its balance is an equation (no known head, joined to one) and
// `solved` where it was solved (free or at a known head); links with an end not solved are
// skipped. `states` gives each valve's state (an active PRV, PSV or PBV carries the flow given,
// and is checked against its setting).
FinalCheck check_final_state(const model::Model& model, std::span<const std::uint8_t> free,
                             std::span<const std::uint8_t> solved, const std::vector<double>& heads,
                             const std::vector<double>& flows, const std::vector<LinkState>& states,
                             CheckCoefficients* kept = nullptr, PowerMemo* powers = nullptr);

} // namespace pipenet::analysis
