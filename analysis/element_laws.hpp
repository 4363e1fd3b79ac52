// The head-loss laws of a link as functions of their parameters and the head difference between
// its ends: the discharge and its slope. Every path of the analysis uses these; the final check
// recomputes the laws on its own (analysis/final_check.cpp).
#pragma once

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

// A link's law as Q = k * sign(dh) * |dh|^exponent.
struct LinkLaw {
    double k = 0.0;
    double exponent = 1.0;
    double cap = 0.0; // the slope at linear_below: k * linear_below^(exponent - 1)
};

// The law of one link; k is 0 or not finite when a value of the link makes it meaningless (the
// caller refuses such a link).
LinkLaw link_law(model::HeadLossLaw law, const model::Link& link, double rho_g_over_mu);

// The discharge and slope of a link with law `law` at head difference `dh`.
LawValue link_flow(const LinkLaw& law, double dh);

// The law linearized about a discharge `q` rather than a head difference: the tangent of
// dh(Q) = sign(Q) (|Q|/k)^(1/exponent) at q, solved for Q and evaluated at `dh`. Its slope is
// finite where the discharge is nonzero; near zero it is capped at the head form's slope at
// linear_below.
LawValue link_flow_about(const LinkLaw& law, double q, double dh);

} // namespace pipenet::analysis
