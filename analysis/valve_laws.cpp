#include "analysis/valve_laws.hpp"

#include <cmath>
#include <numbers>

namespace pipenet::analysis {

namespace {

// The least slope (m per m^3/s) of a GPV's head loss: a flat stretch of its curve is taken as
// this steep, so that the flow stays a function of the head difference.
constexpr double least_curve_slope = 1.0e-6;
// A curve that starts at a head loss above 0 at no flow rises to it over this flow (m^3/s).
constexpr double threshold_flow = 1.0e-9;

} // namespace

ValveLaw valve_law(const model::Model& model, const model::Valve& valve) {
    const model::Link& link = model.links[static_cast<std::size_t>(valve.link)];
    ValveLaw law;
    law.type = valve.type;
    law.fixed_open = valve.fixed_open;
    const double d = link.diameter.value;
    const double area = std::numbers::pi / 4.0 * d * d;
    const double g2a2 = 2.0 * model::inp_gravity * area * area; // v^2/2g = Q^2 / (2 g A^2)
    const double k = valve.type == model::ValveType::tcv && !valve.fixed_open
                         ? valve.setting
                         : link.minor_loss.value;
    if (k > 0.0) {
        // h = (K / 2gA^2) Q^2 turned round.
        law.open.k = std::sqrt(g2a2 / k);
        law.open.exponent = 0.5;
        law.open.cap = law.open.k * std::pow(linear_below, -0.5);
    } else {
        law.open.k = open_valve_conductance;
        law.open.exponent = 1.0;
        law.open.cap = open_valve_conductance;
    }
    law.minor = link.minor_loss.value / g2a2;
    switch (valve.type) {
    case model::ValveType::prv:
        law.target =
            model.nodes[static_cast<std::size_t>(link.end)].elevation.value + valve.setting;
        break;
    case model::ValveType::psv:
        law.target =
            model.nodes[static_cast<std::size_t>(link.start)].elevation.value + valve.setting;
        break;
    case model::ValveType::pbv:
    case model::ValveType::fcv:
    case model::ValveType::tcv:
        law.target = valve.setting;
        break;
    case model::ValveType::gpv: {
        law.curve.emplace_back(0.0, 0.0);
        for (const auto& [q, h] : valve.curve) {
            const auto [q0, h0] = law.curve.back();
            if (q <= q0) {
                // A curve starting at no flow above no loss: a threshold, passed over a tiny flow.
                if (h > h0) law.curve.emplace_back(threshold_flow, h);
                continue;
            }
            law.curve.emplace_back(q, std::max(h, h0 + least_curve_slope * (q - q0)));
        }
        if (law.curve.size() < 2) law.curve.emplace_back(1.0, least_curve_slope);
        break;
    }
    }
    return law;
}

ValveState initial_state(const ValveLaw& law) {
    // A PRV, PSV or FCV starts open: held at its setting from the start, one whose setting the
    // rest of the network cannot meet (a dead end fed through it that needs another flow) would
    // leave the first round without a solution; open, the rules see from a solved round whether
    // it must act.
    const bool rules = law.type == model::ValveType::prv || law.type == model::ValveType::psv ||
                       law.type == model::ValveType::fcv;
    return law.fixed_open || rules ? ValveState::open : ValveState::active;
}

LawValue curve_flow(const std::vector<std::pair<double, double>>& curve, double dh) {
    const double a = std::abs(dh);
    std::size_t i = 1;
    while (i + 1 < curve.size() && curve[i].second < a) ++i;
    const auto [q0, h0] = curve[i - 1];
    const auto [q1, h1] = curve[i];
    const double slope = (q1 - q0) / (h1 - h0);
    return {std::copysign(q0 + (a - h0) * slope, dh), slope};
}

ValveTerm valve_term(const ValveLaw& law, ValveState state, double ha, double hb, double about,
                     ValveForm form) {
    const double dh = ha - hb;
    ValveTerm t;
    auto both = [&](double flow, double slope) {
        t.flow = t.out_of_start = t.into_end = flow;
        t.at_start = t.at_end = t.between = slope;
    };
    const bool follows_law = state == ValveState::open ||
                             (state == ValveState::active && (law.type == model::ValveType::tcv ||
                                                              law.type == model::ValveType::gpv));
    if (state == ValveState::closed) {
        both(closed_valve_leak * dh, closed_valve_leak);
        t.flow = 0.0;
    } else if (follows_law) {
        if (law.type == model::ValveType::gpv && !law.fixed_open) {
            const LawValue v = curve_flow(law.curve, dh);
            both(v.flow, v.slope);
        } else {
            const LawValue v = form == ValveForm::linear ? LawValue{law.open.k * dh, law.open.k}
                               : form == ValveForm::law  ? link_flow(law.open, dh)
                                                         : link_flow_about(law.open, about, dh);
            both(v.flow, v.slope);
        }
    } else {
        switch (law.type) {
        // The side away from the controlled node sees the flow carried over.
        case model::ValveType::prv:
            both(about + valve_tie * (law.target - hb), valve_bridge);
            t.out_of_start = about;
            t.at_end += valve_tie;
            break;
        case model::ValveType::psv:
            both(about + valve_tie * (ha - law.target), valve_bridge);
            t.into_end = about;
            t.at_start += valve_tie;
            break;
        case model::ValveType::pbv:
            both(about + valve_tie * (dh - law.target), valve_tie);
            break;
        default: // an FCV
            both(law.target, valve_bridge);
        }
    }
    return t;
}

LinkState reported_state(const ValveLaw& law, ValveState state) {
    if (state == ValveState::closed) return LinkState::closed;
    if (state == ValveState::active) return LinkState::active;
    // An FCV not fixed open is in control whatever it passes: it cuts its flow at the setting
    // when the flow would exceed it and is fully open otherwise, also against reverse flow (the
    // reference solver calls it active in each case).
    if (law.type == model::ValveType::fcv && !law.fixed_open) return LinkState::active;
    return LinkState::open;
}

ValveState next_state(const ValveLaw& law, ValveState state, double ha, double hb, double q) {
    if (law.fixed_open) return ValveState::open;
    const double htol = valve_head_tolerance;
    const double qtol = valve_flow_tolerance;
    const double h = law.target;
    switch (law.type) {
    case model::ValveType::prv:
    case model::ValveType::psv: {
        // A PSV is a PRV seen from the other side: the controlled head is the start's, the
        // other the end's, and the roles of "above" and "below" the setting swap.
        const bool prv = law.type == model::ValveType::prv;
        const double controlled = prv ? hb : ha;
        const double other = prv ? ha : hb;
        // other_short: the other side cannot hold the setting; controlled_over: the controlled
        // side is past it.
        const bool other_short = prv ? other < h - htol : other > h + htol;
        const bool controlled_over = prv ? controlled > h + htol : controlled < h - htol;
        switch (state) {
        case ValveState::active:
            if (q < -qtol) return ValveState::closed;
            return other_short ? ValveState::open : ValveState::active;
        case ValveState::open:
            if (q < -qtol) return ValveState::closed;
            return controlled_over ? ValveState::active : ValveState::open;
        case ValveState::closed: {
            const bool other_holds = prv ? other >= h + htol : other <= h - htol;
            const bool controlled_short = prv ? controlled < h - htol : controlled > h + htol;
            if (other_holds && controlled_short) return ValveState::active;
            if (other_short && ha > hb + htol) return ValveState::open;
            return ValveState::closed;
        }
        }
        return state;
    }
    case model::ValveType::fcv:
        if (ha - hb < -htol || q < -qtol) return ValveState::open;
        // Cut at its setting, yet the head difference would not drive that much through it open.
        if (state == ValveState::active && link_flow(law.open, ha - hb).flow < h - qtol)
            return ValveState::open;
        if (state == ValveState::open && q >= h) return ValveState::active;
        return state;
    case model::ValveType::pbv:
        return h == 0.0 || law.minor * q * q > h ? ValveState::open : ValveState::active;
    case model::ValveType::tcv:
    case model::ValveType::gpv:
        break;
    }
    return ValveState::active;
}

} // namespace pipenet::analysis
