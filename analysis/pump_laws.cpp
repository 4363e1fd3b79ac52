#include "analysis/pump_laws.hpp"

#include <algorithm>
#include <cmath>

#include "analysis/element_laws.hpp"

namespace pipenet::analysis {

namespace {

// The shutoff head of a curve of one point, relative to the point's head; the curve is taken as
// reaching zero head at twice the point's flow.
constexpr double one_point_shutoff = 1.33334;

// A - B Q^C through (0, a), (q1, h1), (q2, h2) with 0 < q1 < q2 and a > h1 > h2.
PowerCurve through(double a, double q1, double h1, double q2, double h2) {
    PowerCurve fit;
    fit.a = a;
    fit.c = std::log((a - h2) / (a - h1)) / std::log(q2 / q1);
    fit.b = (a - h1) / std::pow(q1, fit.c);
    return fit;
}

// Why the points cannot be a pump's curve, or "".
std::string points_fault(const std::vector<model::CurvePoint>& points) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!std::isfinite(points[i].flow) || !std::isfinite(points[i].head) ||
            points[i].flow < 0.0)
            return "its curve has a point with a negative or unreadable flow";
        if (i > 0 && !(points[i].flow > points[i - 1].flow))
            return "the flows of its curve do not increase";
        if (i > 0 && !(points[i].head < points[i - 1].head))
            return "the heads of its curve do not fall as the flow rises";
    }
    return {};
}

// Below this share of a pump's working discharge its law is continued as a straight line.
constexpr double least_share = 1.0e-8;
// The head gains of the constant-power law's straight continuations (length unit): above the
// first at tiny discharges, below the second at huge ones.
constexpr double power_most_gain = 1.0e4;
constexpr double power_least_gain = 1.0e-4;
// Above this many times the largest flow a power-form curve was fitted to, it is continued as
// its tangent.
constexpr double most_span = 10.0;
// The working head of a constant-power pump, for the start solve only.
constexpr double power_design_gain = 30.0;

} // namespace

PumpCurve pump_curve(const model::Pump& pump) {
    PumpCurve curve;
    const std::vector<model::CurvePoint>& p = pump.curve;
    if (p.empty()) {
        curve.form = PumpCurve::Form::constant_power;
        curve.power = pump.power;
        if (!(pump.power > 0.0) || !std::isfinite(pump.power))
            curve.why = "it has no head curve and no positive power";
        return curve;
    }
    curve.why = points_fault(p);
    if (!curve.why.empty()) return curve;
    if (p.size() == 1) {
        if (!(p[0].flow > 0.0) || !(p[0].head > 0.0)) {
            curve.why = "its curve has one point, and a curve of one point needs a flow and a "
                        "head above zero";
            return curve;
        }
        const double a = one_point_shutoff * p[0].head;
        curve.fit = through(a, p[0].flow, p[0].head, 2.0 * p[0].flow, 0.0);
        curve.design = p[0].flow;
        curve.span = 2.0 * p[0].flow;
        return curve;
    }
    if (p.size() == 3 && p[0].flow == 0.0) {
        const PowerCurve fit = through(p[0].head, p[1].flow, p[1].head, p[2].flow, p[2].head);
        if (fit.c > 0.0 && std::isfinite(fit.c) && fit.b > 0.0 && std::isfinite(fit.b)) {
            curve.fit = fit;
            curve.design = p[1].flow;
            curve.span = p[2].flow;
            return curve;
        }
    }
    curve.form = PumpCurve::Form::points;
    curve.points = p;
    return curve;
}

PumpLaw pump_law(const PumpCurve& curve, double speed) {
    PumpLaw law;
    law.form = curve.form;
    switch (curve.form) {
    case PumpCurve::Form::power_curve: {
        const double s = speed;
        law.fit = {s * s * curve.fit.a, curve.fit.b * std::pow(s, 2.0 - curve.fit.c), curve.fit.c};
        law.shutoff = law.fit.a;
        // A point the curve was fitted to, not where it adds half its shutoff head: with an
        // exponent near 0 that flow underflows.
        law.design = s * curve.design;
        law.least = least_share * law.design;
        law.most = most_span * s * curve.span;
        break;
    }
    case PumpCurve::Form::points: {
        for (const model::CurvePoint& point : curve.points)
            law.points.push_back({speed * point.flow, speed * speed * point.head});
        if (law.points.size() == 1) law.points.push_back({2.0 * law.points[0].flow, 0.0});
        law.shutoff = pump_gain(law, 0.0).gain;
        law.design = law.points[law.points.size() / 2].flow;
        if (!(law.design > 0.0)) law.design = law.points.back().flow;
        break;
    }
    case PumpCurve::Form::constant_power:
        law.power_head = curve.power / water_weight;
        law.least = law.power_head / power_most_gain;
        law.design = law.power_head / power_design_gain;
        law.shutoff = pump_gain(law, 0.0).gain;
        break;
    }
    law.leak = check_valve_leak / -pump_gain(law, law.design).slope;
    return law;
}

PumpGain pump_gain(const PumpLaw& law, double q) {
    switch (law.form) {
    case PumpCurve::Form::power_curve: {
        const PowerCurve& f = law.fit;
        if (q < law.least) {
            // The chord from the shutoff head to the curve at `least`.
            const double slope = -f.b * std::pow(law.least, f.c - 1.0);
            return {f.a + slope * q, slope};
        }
        const double at = std::min(q, law.most);
        const double lifted = f.b * std::pow(at, f.c);
        const double slope = -f.c * lifted / at;
        return {f.a - lifted + slope * (q - at), slope};
    }
    case PumpCurve::Form::points: {
        // The segment that holds q; the first and last are extended beyond the curve.
        std::size_t i = 0;
        while (i + 2 < law.points.size() && q > law.points[i + 1].flow) ++i;
        const model::CurvePoint& p0 = law.points[i];
        const model::CurvePoint& p1 = law.points[i + 1];
        const double slope = (p1.head - p0.head) / (p1.flow - p0.flow);
        return {p0.head + slope * (q - p0.flow), slope};
    }
    case PumpCurve::Form::constant_power:
        break;
    }
    // P / q between the two straight continuations, each the tangent where it starts.
    const double p = law.power_head;
    const double most = p / power_least_gain;
    const double at = std::clamp(q, law.least, most);
    const double slope = -p / (at * at);
    return {p / at + slope * (q - at), slope};
}

double pump_flow_at(const PumpLaw& law, double gain) {
    switch (law.form) {
    case PumpCurve::Form::power_curve: {
        const PowerCurve& f = law.fit;
        const PumpGain edge = pump_gain(law, law.least);
        if (gain > edge.gain) return (gain - f.a) / edge.slope;
        const PumpGain far = pump_gain(law, law.most);
        if (gain < far.gain) return law.most + (gain - far.gain) / far.slope;
        return std::pow((f.a - gain) / f.b, 1.0 / f.c);
    }
    case PumpCurve::Form::points: {
        std::size_t i = 0;
        while (i + 2 < law.points.size() && gain < law.points[i + 1].head) ++i;
        const model::CurvePoint& p0 = law.points[i];
        const model::CurvePoint& p1 = law.points[i + 1];
        return p0.flow + (gain - p0.head) * (p1.flow - p0.flow) / (p1.head - p0.head);
    }
    case PumpCurve::Form::constant_power:
        break;
    }
    const double p = law.power_head;
    const double most = p / power_least_gain;
    if (gain >= power_most_gain) {
        const PumpGain edge = pump_gain(law, law.least);
        return law.least + (gain - edge.gain) / edge.slope;
    }
    if (gain <= power_least_gain) return most + (gain - power_least_gain) / (-p / (most * most));
    return p / gain;
}

} // namespace pipenet::analysis
