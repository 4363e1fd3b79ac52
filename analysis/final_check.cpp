#include "analysis/final_check.hpp"

#include <algorithm>
#include <cmath>

#include "analysis/pump_laws.hpp"

namespace pipenet::analysis {

namespace {

// Head loss over a link at discharge q >= 0 for the laws given as head loss: v = Q/A, h =
// f L/D v^2/2g (Darcy-Weisbach), (n Q / (k A R^(2/3)))^2 L (Manning), plus K v^2/2g.
double written_head_loss(const model::Model& model, const model::Link& link, double q) {
    const double pi = std::acos(-1.0);
    const double d = link.diameter.value;
    const double l = link.length.value;
    const double area = pi * d * d / 4.0;
    const double v = q / area;
    const double velocity_head = v * v / (2.0 * model::inp_gravity);
    double h = 0.0;
    switch (model.law) {
    case model::HeadLossLaw::darcy_weisbach: {
        const double re = v * d / model.viscosity;
        const double e = link.roughness.value / (3.7 * d);
        auto sj = [&](double r) {
            return 0.25 / std::pow(std::log10(e + 5.74 / std::pow(r, 0.9)), 2);
        };
        double f = 0.0;
        if (re <= 2000.0) {
            f = re > 0.0 ? 64.0 / re : 0.0;
            h = re > 0.0 ? f * l / d * velocity_head : 0.0;
            break;
        }
        if (re >= 4000.0) {
            f = sj(re);
        } else {
            // The cubic through (2000, 64/2000) and (4000, Swamee-Jain) with both slopes, the
            // one at 4000 taken by a central difference.
            const double step = 1.0e-3;
            const double a = 0.032, sa = -64.0 / (2000.0 * 2000.0);
            const double b = sj(4000.0), sb = (sj(4000.0 + step) - sj(4000.0 - step)) / (2 * step);
            const double x = re - 2000.0, w = 2000.0;
            const double c2 = (3 * (b - a) / w - 2 * sa - sb) / w;
            const double c3 = (sa + sb - 2 * (b - a) / w) / (w * w);
            f = a + sa * x + c2 * x * x + c3 * x * x * x;
        }
        h = f * l / d * velocity_head;
        break;
    }
    case model::HeadLossLaw::chezy_manning: {
        const double per = link.roughness.value * q /
                           (model::manning_factor * area * std::pow(d / 4.0, 2.0 / 3.0));
        h = per * per * l;
        break;
    }
    default: {
        const double resistance =
            10.667 * l / (std::pow(link.roughness.value, 1.852) * std::pow(d, 4.871));
        h = resistance * std::pow(q, 1.852);
    }
    }
    return h + link.minor_loss.value * velocity_head;
}

double hazen_williams_coefficient(const model::Model& model, const model::Link& link) {
    const double d = link.diameter.value;
    const double l = link.length.value;
    const double c = link.roughness.value;
    return model.law == model::HeadLossLaw::hazen_williams_programs
               ? 0.2784 * c * std::pow(d, 2.63) / std::pow(l, 0.54)
               : 10.667 * l / (std::pow(c, 1.852) * std::pow(d, 4.871));
}

// Each law written out in the form it is usually given, head loss as a function of discharge
// where that is its usual form, and turned round here (by bisection where it has no closed
// inverse).
double law_discharge(const model::Model& model, const model::Link& link, double dh,
                     CheckCoefficients* kept, PowerMemo* powers, std::size_t e) {
    const double d = link.diameter.value;
    const double l = link.length.value;
    const double sign = dh < 0 ? -1.0 : 1.0;
    if (model.law == model::HeadLossLaw::laminar) {
        // Hagen-Poiseuille: Q = (rho g / mu) * pi * D^4 * dh / (128 L).
        const double pi = std::acos(-1.0);
        return model.rho_g_over_mu.value * pi * std::pow(d, 4.0) * dh / (128.0 * l);
    }
    const bool programs = model.law == model::HeadLossLaw::hazen_williams_programs;
    if (programs ||
        (model.law == model::HeadLossLaw::hazen_williams_inp && link.minor_loss.value == 0.0)) {
        const double coefficient =
            kept != nullptr ? kept->of(model, e) : hazen_williams_coefficient(model, link);
        // Q = 0.2784 C D^2.63 (dh / L)^0.54; dh = r Q^1.852 turned round.
        return programs ? sign * coefficient *
                              (powers != nullptr ? (*powers)(e, std::abs(dh), 0.54)
                                                 : std::pow(std::abs(dh), 0.54))
                        : sign * std::pow(std::abs(dh) / coefficient, 1.0 / 1.852);
    }
    const double target = std::abs(dh);
    double lo = 0.0;
    double hi = 1.0e-3;
    while (written_head_loss(model, link, hi) < target && hi < 1.0e12) hi *= 2.0;
    for (int i = 0; i < 200 && hi - lo > 1.0e-16 * hi; ++i) {
        const double mid = 0.5 * (lo + hi);
        (written_head_loss(model, link, mid) < target ? lo : hi) = mid;
    }
    return sign * 0.5 * (lo + hi);
}

// A pump's discharge where it adds -dh, from its curve written out: h = s^2 A - B s^(2-C) Q^C,
// the points joined by straight lines (s Q, s^2 H), or P / (rho g Q); 0 where it would have to
// add its shutoff head or more. Turned round by bisection.
double pump_discharge(const model::Pump& pump, double dh) {
    const PumpCurve curve = pump_curve(pump);
    const double s = pump.speed;
    auto gain = [&](double q) {
        switch (curve.form) {
        case PumpCurve::Form::power_curve:
            return s * s * curve.fit.a -
                   curve.fit.b * std::pow(s, 2.0 - curve.fit.c) * std::pow(q, curve.fit.c);
        case PumpCurve::Form::points: {
            std::vector<model::CurvePoint> p = curve.points;
            if (p.size() == 1) p.push_back({2.0 * p[0].flow, 0.0});
            std::size_t i = 1;
            while (i + 1 < p.size() && q > s * p[i].flow) ++i;
            const double x0 = s * p[i - 1].flow, y0 = s * s * p[i - 1].head;
            const double x1 = s * p[i].flow, y1 = s * s * p[i].head;
            return y0 + (y1 - y0) * (q - x0) / (x1 - x0);
        }
        case PumpCurve::Form::constant_power:
            break;
        }
        return q > 0.0 ? curve.power / (water_weight * q) : HUGE_VAL;
    };
    const double needed = -dh;
    if (!(needed < gain(0.0))) return 0.0;
    double lo = 0.0;
    double hi = 1.0e-3;
    while (gain(hi) > needed && hi < 1.0e12) hi *= 2.0;
    for (int i = 0; i < 200 && hi - lo > 1.0e-16 * hi; ++i) {
        const double mid = 0.5 * (lo + hi);
        (gain(mid) > needed ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

// A valve that follows a law: its minor loss K v^2/2g (a throttle valve's K is its setting), or
// a general-purpose valve's curve of head loss against flow, from (0, 0) to its first point and
// on along its last segment, turned round by bisection.
double valve_discharge(const model::Model& model, const model::Valve& valve, LinkState state,
                       double dh) {
    const model::Link& link = model.links[static_cast<std::size_t>(valve.link)];
    const double sign = dh < 0 ? -1.0 : 1.0;
    if (state == LinkState::active && valve.type == model::ValveType::gpv) {
        std::vector<std::pair<double, double>> points{{0.0, 0.0}};
        for (const auto& p : valve.curve)
            if (p.first > points.back().first) points.push_back(p);
        auto loss = [&](double q) {
            std::size_t i = 1;
            while (i + 1 < points.size() && points[i].first < q) ++i;
            const auto [q0, h0] = points[i - 1];
            const auto [q1, h1] = points[i];
            return h0 + (h1 - h0) * (q - q0) / (q1 - q0);
        };
        double lo = 0.0;
        double hi = 1.0e-3;
        while (loss(hi) < std::abs(dh) && hi < 1.0e12) hi *= 2.0;
        for (int i = 0; i < 200 && hi - lo > 1.0e-16 * hi; ++i) {
            const double mid = 0.5 * (lo + hi);
            (loss(mid) < std::abs(dh) ? lo : hi) = mid;
        }
        return sign * 0.5 * (lo + hi);
    }
    const double k = state == LinkState::active && valve.type == model::ValveType::tcv
                         ? valve.setting
                         : link.minor_loss.value;
    if (k == 0.0) return 1.0e5 * dh; // an open valve's loss of 1e-5 m per m3/s
    const double area = std::acos(-1.0) * link.diameter.value * link.diameter.value / 4.0;
    return sign * area * std::sqrt(2.0 * model::inp_gravity * std::abs(dh) / k);
}

} // namespace

double CheckCoefficients::of(const model::Model& model, std::size_t e) {
    if (law_ != model.law || values_.size() != model.links.size()) {
        law_ = model.law;
        // NaN never equals itself: every entry is worked out when first asked for.
        values_.assign(model.links.size(), {std::nan(""), 0.0, 0.0});
        coefficients_.assign(model.links.size(), 0.0);
    }
    const model::Link& link = model.links[e];
    const std::array<double, 3> now{link.diameter.value, link.length.value, link.roughness.value};
    if (now != values_[e]) {
        values_[e] = now;
        coefficients_[e] = hazen_williams_coefficient(model, link);
    }
    return coefficients_[e];
}

FinalCheck check_final_state(const model::Model& model, std::span<const std::uint8_t> free,
                             std::span<const std::uint8_t> solved, const std::vector<double>& heads,
                             const std::vector<double>& flows, const std::vector<LinkState>& states,
                             CheckCoefficients* kept, PowerMemo* powers) {
    FinalCheck check;
    const std::size_t n = model.nodes.size();
    std::vector<double> outflow(n, 0.0);
    // Most networks have neither pumps nor valves: no table of them then.
    std::vector<const model::Pump*> pump_of(model.pumps.empty() ? 0 : model.links.size(), nullptr);
    for (const model::Pump& pump : model.pumps)
        if (static_cast<std::size_t>(pump.link) < pump_of.size())
            pump_of[static_cast<std::size_t>(pump.link)] = &pump;
    std::vector<const model::Valve*> valve_of(model.valves.empty() ? 0 : model.links.size(),
                                              nullptr);
    for (const model::Valve& valve : model.valves)
        if (valve.link >= 0 && static_cast<std::size_t>(valve.link) < model.links.size())
            valve_of[static_cast<std::size_t>(valve.link)] = &valve;
    for (std::size_t e = 0; e < model.links.size(); ++e) {
        const model::Link& link = model.links[e];
        const auto a = static_cast<std::size_t>(link.start);
        const auto b = static_cast<std::size_t>(link.end);
        if (solved[a] == 0 || solved[b] == 0) continue;
        if (link.status == model::LinkStatus::closed) {
            if (flows[e] != 0.0 && check.max_law_error < std::abs(flows[e])) {
                check.max_law_error = std::abs(flows[e]);
                check.worst_link = static_cast<std::int32_t>(e);
            }
            continue;
        }
        // A check valve carries nothing against reverse flow.
        const double dh = heads[a] - heads[b];
        double q = 0.0;
        if (const model::Valve* valve = valve_of.empty() ? nullptr : valve_of[e]) {
            const LinkState state = states[e];
            const bool holds = state == LinkState::active && valve->type != model::ValveType::tcv &&
                               valve->type != model::ValveType::gpv;
            if (holds && valve->type == model::ValveType::fcv) {
                // Open, its flow cut at the setting.
                q = std::min(valve_discharge(model, *valve, LinkState::open, dh), valve->setting);
            } else if (holds) {
                // Its flow is what the heads leave to it; its setting is what it must meet.
                q = flows[e];
                const double off =
                    valve->type == model::ValveType::prv
                        ? heads[b] - (model.nodes[b].elevation.value + valve->setting)
                    : valve->type == model::ValveType::psv
                        ? heads[a] - (model.nodes[a].elevation.value + valve->setting)
                        : dh - valve->setting;
                if (!(std::abs(off) <= check.max_setting_error)) {
                    check.max_setting_error = std::abs(off);
                    check.worst_setting_link = static_cast<std::int32_t>(e);
                }
            } else if (state != LinkState::closed) {
                q = valve_discharge(model, *valve, state, dh);
            }
        } else if (!pump_of.empty() && pump_of[e] != nullptr) {
            q = pump_discharge(*pump_of[e], dh);
        } else if (!(link.check_valve && dh < 0.0)) {
            q = law_discharge(model, link, dh, kept, powers, e);
        }
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
        if (free[i] == 0) continue;
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
