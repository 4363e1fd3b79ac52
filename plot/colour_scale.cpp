#include "plot/colour_scale.hpp"

#include <array>
#include <cmath>
#include <cstdio>

namespace pipenet::plot {

namespace {

// viridis at eleven evenly spaced points; linear between them is within a step of the full
// table.
constexpr std::array<Rgb, 11> stops{{{0x44, 0x01, 0x54},
                                     {0x48, 0x24, 0x75},
                                     {0x41, 0x44, 0x87},
                                     {0x35, 0x5f, 0x8d},
                                     {0x2a, 0x78, 0x8e},
                                     {0x21, 0x91, 0x8c},
                                     {0x22, 0xa8, 0x84},
                                     {0x44, 0xbf, 0x70},
                                     {0x7a, 0xd1, 0x51},
                                     {0xbd, 0xdf, 0x26},
                                     {0xfd, 0xe7, 0x25}}};

std::uint8_t mix(std::uint8_t a, std::uint8_t b, double t) {
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
}

} // namespace

Rgb viridis(double fraction) {
    if (!(fraction > 0.0)) return stops.front();
    if (fraction >= 1.0) return stops.back();
    const double position = fraction * static_cast<double>(stops.size() - 1);
    const auto below = static_cast<std::size_t>(position);
    const double t = position - static_cast<double>(below);
    const Rgb& a = stops[below];
    const Rgb& b = stops[below + 1];
    return {mix(a.red, b.red, t), mix(a.green, b.green, t), mix(a.blue, b.blue, t)};
}

std::string hex(Rgb colour) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "#%02x%02x%02x", colour.red, colour.green, colour.blue);
    return text.data();
}

Rgb scale_colour(double value, double low, double high) {
    if (!(high > low)) return viridis(0.5);
    // Halves keep the difference finite for the widest ranges.
    return viridis((value / 2.0 - low / 2.0) / (high / 2.0 - low / 2.0));
}

} // namespace pipenet::plot
