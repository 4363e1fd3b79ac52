#include "analysis/element_laws.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pipenet::analysis {

namespace {

LinkLaw power_law(double k, double exponent) {
    return {k, exponent, exponent == 1.0 ? k : k * std::pow(linear_below, exponent - 1.0)};
}

} // namespace

LinkLaw link_law(model::HeadLossLaw law, const model::Link& link, double rho_g_over_mu) {
    const double d = link.diameter.value;
    const double l = link.length.value;
    const double c = link.roughness.value;
    switch (law) {
    case model::HeadLossLaw::laminar:
        return power_law(rho_g_over_mu * std::numbers::pi / 128.0 * (d * d) * (d * d) / l, 1.0);
    case model::HeadLossLaw::hazen_williams_programs:
        return power_law(0.2784 * c * std::pow(d, 2.63) / std::pow(l, 0.54), 0.54);
    case model::HeadLossLaw::hazen_williams_inp:
        break;
    }
    // dh = r |Q|^1.852 turned round: Q = r^(-1/1.852) |dh|^(1/1.852).
    const double r = 10.667 * std::pow(c, -1.852) * std::pow(d, -4.871) * l;
    return power_law(std::pow(r, -1.0 / 1.852), 1.0 / 1.852);
}

LawValue link_flow(const LinkLaw& law, double dh) {
    if (law.exponent == 1.0) return {law.k * dh, law.k};
    const double magnitude = std::abs(dh);
    if (magnitude < linear_below) return {law.cap * dh, law.cap};
    const double flow = law.k * std::pow(magnitude, law.exponent);
    return {std::copysign(flow, dh), law.exponent * flow / magnitude};
}

LawValue link_flow_about(const LinkLaw& law, double q, double dh) {
    if (law.exponent == 1.0) return {law.k * dh, law.k};
    // dh'(Q) = |Q|^(1/e - 1) / (e k^(1/e)); its inverse is the slope. On the tangent,
    // Q(dh) = q + slope * (dh - dh(q)) = (1 - e) q + slope * dh.
    const double magnitude = std::abs(q);
    double slope = law.cap;
    if (magnitude > 0.0)
        slope =
            std::min(law.cap, law.exponent * law.k *
                                  std::pow(magnitude / law.k, (law.exponent - 1.0) / law.exponent));
    return {(1.0 - law.exponent) * q + slope * dh, slope};
}

} // namespace pipenet::analysis
