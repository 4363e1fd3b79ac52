#include "analysis/element_laws.hpp"

#include <cmath>
#include <numbers>

namespace pipenet::analysis {

LinkLaw link_law(model::HeadLossLaw law, const model::Link& link, double rho_g_over_mu) {
    const double d = link.diameter.value;
    const double l = link.length.value;
    const double c = link.roughness.value;
    switch (law) {
    case model::HeadLossLaw::laminar:
        return {rho_g_over_mu * std::numbers::pi / 128.0 * (d * d) * (d * d) / l, 1.0};
    case model::HeadLossLaw::hazen_williams_programs:
        return {0.2784 * c * std::pow(d, 2.63) / std::pow(l, 0.54), 0.54};
    case model::HeadLossLaw::hazen_williams_inp:
        break;
    }
    // dh = r |Q|^1.852 turned round: Q = r^(-1/1.852) |dh|^(1/1.852).
    const double r = 10.667 * std::pow(c, -1.852) * std::pow(d, -4.871) * l;
    return {std::pow(r, -1.0 / 1.852), 1.0 / 1.852};
}

LawValue link_flow(const LinkLaw& law, double dh) {
    if (law.exponent == 1.0) return {law.k * dh, law.k};
    const double magnitude = std::abs(dh);
    if (magnitude < linear_below) {
        const double slope = law.k * std::pow(linear_below, law.exponent - 1.0);
        return {slope * dh, slope};
    }
    const double flow = law.k * std::pow(magnitude, law.exponent);
    return {std::copysign(flow, dh), law.exponent * flow / magnitude};
}

} // namespace pipenet::analysis
