// The law of a pump: the head it adds from its start node to its end node as a function of the
// discharge it carries, h = A - B Q^C (a curve of one or three points), the curve itself joined
// by straight lines (more points), or P / (rho g Q) (constant power), scaled by its speed.
#pragma once

#include <string>
#include <vector>

#include "model/network_model.hpp"

namespace pipenet::analysis {

// The weight of water, N/m^3, of the constant-power law: 62.4 lbf/ft^3.
inline constexpr double water_weight = 62.4 * 4.4482216152605 / 0.028316846592;

// A curve of one or three points as A - B Q^C.
struct PowerCurve {
    double a = 0.0;
    double b = 0.0;
    double c = 1.0;
};

// The form a pump's curve is taken in, at speed 1; `why` is not empty when the pump cannot be
// analysed (no curve, a curve of one point at zero flow, flows not increasing, heads not
// falling).
struct PumpCurve {
    enum class Form : std::uint8_t { power_curve, points, constant_power };
    Form form = Form::power_curve;
    PowerCurve fit;
    std::vector<model::CurvePoint> points; // Form::points
    double power = 0.0;                    // W, Form::constant_power
    double design = 0.0; // Form::power_curve: the flow of the middle point it was fitted to
    double span = 0.0;   // Form::power_curve: the largest flow it was fitted to
    std::string why;
};
PumpCurve pump_curve(const model::Pump& pump);

// A pump's law at its speed: the head gain g(Q) for Q >= 0, decreasing, continued below a tiny
// discharge `least` as the straight line through g(least) and the shutoff head g(0), so that its
// slope stays finite and nonzero; a power-form curve also above `most`, ten times the largest
// flow it was fitted to, as its tangent there (turned round, a power law of a small exponent
// overflows there).
struct PumpLaw {
    PumpCurve::Form form = PumpCurve::Form::power_curve;
    PowerCurve fit;                        // with the speed applied
    std::vector<model::CurvePoint> points; // with the speed applied
    double power_head = 0.0;               // P / (rho g), length * discharge
    double least = 0.0;
    double most = 0.0;    // Form::power_curve
    double shutoff = 0.0; // g(0)
    double design = 0.0;  // a discharge in the curve's working range, for the start solve
    // The conductance of the pump closed: far below its open one, it keeps the Newton matrix
    // positive definite.
    double leak = 0.0;
};
PumpLaw pump_law(const PumpCurve& curve, double speed);

struct PumpGain {
    double gain = 0.0;
    double slope = 0.0; // d gain / dQ, negative
};
// The head gain at discharge q >= 0.
PumpGain pump_gain(const PumpLaw& law, double q);

// The discharge at which the pump adds `gain`, when gain < shutoff.
double pump_flow_at(const PumpLaw& law, double gain);

// Whether the pump is closed at head difference dh = h(start) - h(end): it would have to add at
// least its shutoff head.
inline bool closed_pump(const PumpLaw& law, double dh) {
    return -dh >= law.shutoff;
}

} // namespace pipenet::analysis
