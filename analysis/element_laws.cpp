#include "analysis/element_laws.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pipenet::analysis {

namespace {

// A pure power law with the slope at linear_below worked out once.
LinkLaw power_law(double k, double exponent) {
    LinkLaw law;
    law.k = k;
    law.exponent = exponent;
    law.cap = exponent == 1.0 ? k : k * std::pow(linear_below, exponent - 1.0);
    return law;
}

// Swamee-Jain: f = 0.25 / log10(e + 5.74 Re^-0.9)^2, with its derivative in Re.
Friction swamee_jain(double re, double relative_roughness) {
    const double y = relative_roughness + 5.74 * std::pow(re, -0.9);
    const double l = std::log10(y);
    const double f = 0.25 / (l * l);
    const double dy = -0.9 * 5.74 * std::pow(re, -1.9);
    return {f, -0.5 / (l * l * l) * dy / (y * std::numbers::ln10)};
}

constexpr double laminar_limit = 2000.0;
constexpr double turbulent_limit = 4000.0;

// Q >= 0 with head_loss(law, Q) = h >= 0: Newton's method kept inside a bracket that halves
// whenever a step leaves it, the law being increasing.
double flow_at(const LinkLaw& law, double h) {
    if (h <= 0.0) return 0.0;
    double lo = 0.0;
    double hi = law.k > 0.0 && std::isfinite(law.k) ? law.k * std::pow(h, law.exponent) : 1.0;
    if (!(hi > 0.0) || !std::isfinite(hi)) hi = 1.0;
    for (int i = 0; i < 2000 && head_loss(law, hi).loss < h; ++i) {
        lo = hi;
        hi *= 2.0;
    }
    double q = hi;
    for (int i = 0; i < 200; ++i) {
        const HeadLoss v = head_loss(law, q);
        if (v.loss == h) return q;
        (v.loss < h ? lo : hi) = q;
        double next = v.slope > 0.0 ? q - (v.loss - h) / v.slope : 0.5 * (lo + hi);
        if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        if (std::abs(next - q) <= 1.0e-15 * q || hi - lo <= 1.0e-15 * hi) return next;
        q = next;
    }
    return q;
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
    case model::HeadLossLaw::darcy_weisbach:
    case model::HeadLossLaw::chezy_manning:
        break;
    }
    // dh = r |Q|^1.852 turned round: Q = r^(-1/1.852) |dh|^(1/1.852).
    const double r = 10.667 * std::pow(c, -1.852) * std::pow(d, -4.871) * l;
    return power_law(std::pow(r, -1.0 / 1.852), 1.0 / 1.852);
}

LinkLaw pump_link_law(const PumpCurve& curve, double speed) {
    LinkLaw law;
    law.pump = std::make_shared<const PumpLaw>(pump_law(curve, speed));
    // The start solve takes the pump as its tangent at its working discharge (see
    // link_flow_about), not as k * dh; k only marks the law as usable.
    law.k = 1.0;
    law.cap = -1.0 / pump_gain(*law.pump, law.pump->least).slope;
    return law;
}

LinkLaw link_law(const model::Model& model, const model::Link& link) {
    const double d = link.diameter.value;
    const double l = link.length.value;
    const double area = std::numbers::pi / 4.0 * d * d;
    const double g2a2 = 2.0 * model::inp_gravity * area * area; // v^2/2g = Q^2 / (2 g A^2)
    LinkLaw law;
    switch (model.law) {
    case model::HeadLossLaw::darcy_weisbach: {
        law.darcy = true;
        law.friction = l / d / g2a2;
        law.reynolds = d / (area * model.viscosity);
        law.roughness = link.roughness.value / (3.7 * d);
        // Taken as linear for the start solve: the law at a turbulent Reynolds number as
        // Q = k * dh^0.5.
        law.k = 1.0 / std::sqrt(law.friction * friction_factor(1.0e5, law.roughness).f);
        law.exponent = 0.5;
        break;
    }
    case model::HeadLossLaw::chezy_manning: {
        // dh = (n / (k A R^(2/3)))^2 L Q^2: Q = dh^0.5 / sqrt of that resistance.
        const double n = link.roughness.value;
        const double per_flow = n / (model::manning_factor * area * std::pow(d / 4.0, 2.0 / 3.0));
        law.k = 1.0 / (per_flow * std::sqrt(l));
        law.exponent = 0.5;
        break;
    }
    default:
        law = link_law(model.law, link, model.rho_g_over_mu.value);
    }
    if (link.minor_loss.value != 0.0) law.minor = link.minor_loss.value / g2a2;
    law.cap = law.power() ? power_law(law.k, law.exponent).cap
                          : flow_at(law, linear_below) / linear_below;
    if (link.check_valve) {
        law.leak = check_valve_leak * link_flow(law, 1.0).slope;
        law.check_valve = true;
    }
    return law;
}

Friction friction_factor(double re, double relative_roughness) {
    if (re <= laminar_limit) return {64.0 / re, -64.0 / (re * re)};
    if (re >= turbulent_limit) return swamee_jain(re, relative_roughness);
    // The cubic in Re that meets 64/Re at 2000 and Swamee-Jain at 4000 with the values and
    // slopes of both, in Hermite form on t in [0, 1].
    const double span = turbulent_limit - laminar_limit;
    const double t = (re - laminar_limit) / span;
    const double f0 = 64.0 / laminar_limit;
    const double m0 = -64.0 / (laminar_limit * laminar_limit) * span;
    const Friction end = swamee_jain(turbulent_limit, relative_roughness);
    const double m1 = end.slope * span;
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double f = (2 * t3 - 3 * t2 + 1) * f0 + (t3 - 2 * t2 + t) * m0 +
                     (-2 * t3 + 3 * t2) * end.f + (t3 - t2) * m1;
    const double df = (6 * t2 - 6 * t) * f0 + (3 * t2 - 4 * t + 1) * m0 +
                      (-6 * t2 + 6 * t) * end.f + (3 * t2 - 2 * t) * m1;
    return {f, df / span};
}

HeadLoss head_loss(const LinkLaw& law, double q) {
    const double a = std::abs(q);
    HeadLoss h;
    if (law.darcy) {
        const double re = law.reynolds * a;
        if (re <= laminar_limit) {
            // f = 64/Re: a loss linear in Q, finite in slope at Q = 0.
            const double r = 64.0 / law.reynolds * law.friction;
            h = {r * a, r};
        } else {
            const Friction f = friction_factor(re, law.roughness);
            h = {f.f * law.friction * a * a,
                 law.friction * a * (2.0 * f.f + f.slope * law.reynolds * a)};
        }
    } else if (a > 0.0) {
        // Q = k h^e turned round: h = (Q/k)^(1/e).
        const double loss = std::pow(a / law.k, 1.0 / law.exponent);
        h = {loss, loss / (law.exponent * a)};
    } else if (law.exponent == 1.0) {
        h = {0.0, 1.0 / law.k};
    }
    h.loss += law.minor * a * a;
    h.slope += 2.0 * law.minor * a;
    h.loss = std::copysign(h.loss, q);
    return h;
}

LawValue link_flow(const LinkLaw& law, double dh) {
    if (law.pump) {
        const PumpLaw& pump = *law.pump;
        if (closed_pump(pump, dh)) return {pump.leak * (dh + pump.shutoff), pump.leak};
        const double q = pump_flow_at(pump, -dh);
        return {q, -1.0 / pump_gain(pump, q).slope};
    }
    if (closed_check_valve(law, dh)) return {law.leak * dh, law.leak};
    if (law.power() && law.exponent == 1.0) return {law.k * dh, law.k};
    const double magnitude = std::abs(dh);
    if (law.power()) {
        if (magnitude < linear_below) return {law.cap * dh, law.cap};
        const double flow = law.k * std::pow(magnitude, law.exponent);
        return {std::copysign(flow, dh), law.exponent * flow / magnitude};
    }
    if (magnitude < linear_below) return {law.cap * dh, law.cap};
    const double q = flow_at(law, magnitude);
    const HeadLoss h = head_loss(law, q);
    return {std::copysign(q, dh), h.slope > 0.0 ? 1.0 / h.slope : q / magnitude};
}

LawValue link_flow_about(const LinkLaw& law, double q, double dh) {
    // A check valve closed at the flow linearized about stays closed for this pass.
    if (law.check_valve && q <= 0.0) return {law.leak * dh, law.leak};
    if (law.pump) {
        // Likewise a pump that carried nothing; it opens again once the tangents give it flow.
        const PumpLaw& pump = *law.pump;
        if (q <= 0.0) return {pump.leak * (dh + pump.shutoff), pump.leak};
        const PumpGain g = pump_gain(pump, q);
        const double slope = -1.0 / g.slope;
        return {q + slope * (dh + g.gain), slope};
    }
    if (law.power() && law.exponent == 1.0) return {law.k * dh, law.k};
    if (law.power()) {
        // dh'(Q) = |Q|^(1/e - 1) / (e k^(1/e)); its inverse is the slope. On the tangent,
        // Q(dh) = q + slope * (dh - dh(q)) = (1 - e) q + slope * dh.
        const double magnitude = std::abs(q);
        double slope = law.cap;
        if (magnitude > 0.0)
            slope = std::min(law.cap,
                             law.exponent * law.k *
                                 std::pow(magnitude / law.k, (law.exponent - 1.0) / law.exponent));
        return {(1.0 - law.exponent) * q + slope * dh, slope};
    }
    const HeadLoss h = head_loss(law, q);
    const double slope = h.slope > 0.0 ? std::min(law.cap, 1.0 / h.slope) : law.cap;
    return {q + slope * (dh - h.loss), slope};
}

} // namespace pipenet::analysis
