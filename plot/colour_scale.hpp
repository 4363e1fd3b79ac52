// The colour scale for heads: viridis, perceptually uniform and readable in grey and by the
// colour-blind.
#pragma once

#include <cstdint>
#include <string>

namespace pipenet::plot {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// The colour at `fraction` of the scale, 0 the low end (dark violet) and 1 the high end
// (yellow); fractions outside 0 ... 1 are clamped, NaN gives the low end.
Rgb viridis(double fraction);

// "#rrggbb".
std::string hex(Rgb colour);

// The colour of a value on a scale from `low` to `high`: the middle of the scale when the two
// are equal.
Rgb scale_colour(double value, double low, double high);

} // namespace pipenet::plot
