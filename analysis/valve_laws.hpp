// Valves in the double-precision analysis: the law each follows in each of its states, and the
// rules that move a valve between its states from the heads and flows of a solved round.
//
// A valve's term in a pass is written so that the Newton matrix stays symmetric and positive
// definite: an active pressure valve ties its controlled node to the setting through a large
// conductance on that node's diagonal alone, its flow carried over from the pass before to the
// other node; the flow absorbs the tie's remainder after each pass, so the controlled head ends
// exactly on the setting whatever the conductance.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "analysis/analyse.hpp"
#include "analysis/element_laws.hpp"
#include "model/network_model.hpp"

namespace pipenet::analysis {

enum class ValveState : std::uint8_t { open, closed, active };

// Conductance (m^2/s) of a fully open valve without a minor loss: a head loss of 1e-5 m per
// m^3/s, no loss worth reporting, yet a finite entry of the matrix.
inline constexpr double open_valve_conductance = 1.0e5;
// Conductance (m^2/s) that a valve closed by the state rules keeps, so that a node it cuts off
// still has a row of the matrix: it carries nothing in the results.
inline constexpr double closed_valve_leak = 1.0e-9;
// Conductance (m^2/s) tying an active pressure valve's controlled node, or a pressure breaker's
// head drop, to its setting.
inline constexpr double valve_tie = 1.0e4;
// Conductance (m^2/s) of the matrix alone between the ends of an active PRV, PSV or FCV, whose
// ends the law does not join, so that neither end is left without a path in the matrix.
inline constexpr double valve_bridge = 1.0e-9;
// The state rules' tolerances: a head (m) and a reverse flow (m^3/s).
inline constexpr double valve_head_tolerance = 1.5e-4;
inline constexpr double valve_flow_tolerance = 2.8e-6;

struct ValveLaw {
    model::ValveType type = model::ValveType::prv;
    bool fixed_open = false;
    // The valve fully open: Q = k * dh^0.5 for a minor loss K v^2/2g (a TCV's K is its setting),
    // Q = open_valve_conductance * dh without one.
    LinkLaw open;
    // PRV: the head held at the end node; PSV: at the start node (elevation + pressure
    // setting); PBV: the head drop; FCV: the flow.
    double target = 0.0;
    // PBV: the minor loss m of h = m Q |Q| when fully open.
    double minor = 0.0;
    // GPV: knots (Q, h) of its head loss, Q >= 0, both increasing; odd in Q.
    std::vector<std::pair<double, double>> curve;
};

// The law of valve `valve` of `model`.
ValveLaw valve_law(const model::Model& model, const model::Valve& valve);

// The state a valve starts from: open for a PRV, PSV or FCV (and a valve its status fixes open),
// active for the others.
ValveState initial_state(const ValveLaw& law);

// A valve's contribution to a pass at heads ha (start) and hb (end). `about` is the flow carried
// over from the pass before (the flow a tangent is taken about, for an open valve).
struct ValveTerm {
    double flow = 0.0; // start to end, the value in the results (0 when closed)
    double out_of_start = 0.0;
    double into_end = 0.0;
    // Matrix: (start, start) += at_start, (end, end) += at_end, (start, end) -= between.
    double at_start = 0.0;
    double at_end = 0.0;
    double between = 0.0;
};
enum class ValveForm : std::uint8_t { law, linear, about };
ValveTerm valve_term(const ValveLaw& law, ValveState state, double ha, double hb, double about,
                     ValveForm form);

// The state a result reports: the state itself, except that an FCV not fixed open is reported
// active, in control, also while open (its flow below its setting, or reversed).
LinkState reported_state(const ValveLaw& law, ValveState state);

// The state after a round solved with `state`, from its heads and the valve's flow.
ValveState next_state(const ValveLaw& law, ValveState state, double ha, double hb, double q);

// GPV: the flow at head difference dh (odd), and its slope.
LawValue curve_flow(const std::vector<std::pair<double, double>>& curve, double dh);

} // namespace pipenet::analysis
