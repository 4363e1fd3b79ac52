// The head-loss laws of a link as functions of their parameters and the head difference between
// its ends: the discharge and its slope. Every path of the analysis uses these; the final check
// recomputes the laws on its own (analysis/final_check.cpp).
#pragma once

#include <memory>

#include "analysis/pump_laws.hpp"
#include "model/network_model.hpp"

namespace pipenet::analysis {

struct LawValue {
    double flow = 0.0;  // from the start node to the end node
    double slope = 0.0; // d flow / d (head difference), positive
};

// Below this head difference (in the length unit) a power law is continued as a straight line
// through zero, so that its slope stays finite: the discharge it gives there differs from the
// power law's by less than k * 1e-12^exponent.
inline constexpr double linear_below = 1.0e-12;

// A link's law. A pure power law Q = k * sign(dh) * |dh|^exponent is evaluated in that form;
// a law with a minor loss or a Darcy-Weisbach friction factor is a head loss h(Q), odd and
// increasing in Q, turned round numerically.
struct LinkLaw {
    double k = 0.0;
    double exponent = 1.0;
    // Added head loss minor * Q * |Q| (K v^2/2g).
    double minor = 0.0;
    // Darcy-Weisbach: h = f(Re) * friction * Q * |Q| with Re = reynolds * |Q| and the
    // relative roughness eps / (3.7 D) in `roughness`; k is unused.
    bool darcy = false;
    double friction = 0.0;
    double reynolds = 0.0;
    double roughness = 0.0;
    // The slope of the straight line the law is continued as below linear_below, which caps
    // the slope of its tangents (worked out once per law).
    double cap = 0.0;
    // A check valve: against reverse flow (dh < 0) the link is closed, and passes only
    // leak * dh, a conductance far below its open one that keeps the Newton matrix positive
    // definite when the valve cuts a node off.
    bool check_valve = false;
    double leak = 0.0;
    // A pump: Q from the head it has to add, -dh; closed (passing only its leak) where that is
    // at least its shutoff head. Held apart: every pipe's law would otherwise carry its room.
    std::shared_ptr<const PumpLaw> pump;

    bool power() const { return !darcy && minor == 0.0 && !pump; }
};

// The law of one link; k (or friction) is 0 or not finite when a value of the link makes it
// meaningless (the caller refuses such a link).
LinkLaw link_law(const model::Model& model, const model::Link& link);

// The law of a pump link at the pump's speed.
LinkLaw pump_link_law(const PumpCurve& curve, double speed);

// The pure power law of a link under `law` (laminar or Hazen-Williams), without its minor loss.
LinkLaw link_law(model::HeadLossLaw law, const model::Link& link, double rho_g_over_mu);

// The Darcy-Weisbach friction factor at Reynolds number `re` for relative roughness
// eps / (3.7 D), and its derivative in re.
struct Friction {
    double f = 0.0;
    double slope = 0.0;
};
Friction friction_factor(double re, double relative_roughness);

// The head loss of a law at discharge q, and its derivative in q.
struct HeadLoss {
    double loss = 0.0;
    double slope = 0.0;
};
HeadLoss head_loss(const LinkLaw& law, double q);

// The discharge and slope of a link with law `law` at head difference `dh`.
LawValue link_flow(const LinkLaw& law, double dh);

// The leak of a closed check valve relative to the link's slope at a head difference of 1.
inline constexpr double check_valve_leak = 1.0e-9;

// Whether a check valve is closed at head difference `dh` (reverse flow): its flow is then
// reported as 0.
inline bool closed_check_valve(const LinkLaw& law, double dh) {
    return law.check_valve && dh < 0.0;
}

// The law linearized about a discharge `q` rather than a head difference: the tangent of
// dh(Q) at q, solved for Q and evaluated at `dh`. Its slope is finite where the discharge is
// nonzero; near zero it is capped at the head form's slope at linear_below.
LawValue link_flow_about(const LinkLaw& law, double q, double dh);

} // namespace pipenet::analysis
