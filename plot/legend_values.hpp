// The numbers a picture prints: labels and the values at the colour bar's ticks, in plain
// notation, never with an exponent, so that a reader takes them in at a glance.
#pragma once

#include <string>
#include <vector>

namespace pipenet::plot {

// Three significant digits in plain notation: 0.0000795, 0.0148, 80.9, 1230.
std::string three_digits(double value);

// Plain notation with up to six significant digits, trailing zeros dropped: 80.8684, 95,
// 0.0000794936; for the exact ends of a range.
std::string six_digits(double value);

struct Tick {
    double value = 0.0;
    std::string text;
};

// Round values strictly between `low` and `high` for the ticks of a colour bar: multiples of
// one step of 1, 2 or 5 times a power of ten, at most six of them. Each is written with three
// significant digits, or with as many decimals as the step needs where three would not tell
// neighbouring ticks apart.
std::vector<Tick> colour_bar_ticks(double low, double high);

// A round value (1, 2 or 5 times a power of ten) at most `value`; `value` must be positive and
// finite.
double round_down(double value);

} // namespace pipenet::plot
