// Writes a picture of a network: a standalone SVG, or one self-contained HTML page holding the
// SVG and the result tables.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "plot/band_pattern.hpp"
#include "plot/plot_network.hpp"

namespace pipenet::plot {

// automatic: all for networks of up to 200 nodes, none for larger ones, where numbers would
// cover the drawing.
enum class Labels : std::uint8_t { automatic, none, nodes, pipes, all };

// What the colours show: the nodes' head, or their pressure (head - elevation) where the file
// gives elevations; or the pipes' |velocity| or |discharge|, the nodes then left white so that
// the picture has one colour scale.
enum class Colour : std::uint8_t { head, pressure, velocity, flow };

struct RenderSettings {
    Labels labels = Labels::automatic;
    Colour colour = Colour::head;
    std::optional<BandPattern> band; // drawn below the network when present
};

// The picture's size in SVG user units (CSS pixels in a page).
inline constexpr double picture_width = 960.0;
inline constexpr double network_height = 720.0;
inline constexpr double band_height = 520.0;

std::string render_svg(const PlotNetwork& network, const RenderSettings& settings);

std::string render_html(const PlotNetwork& network, const RenderSettings& settings);

// Text made safe inside XML and HTML elements and attributes.
std::string escape_markup(std::string_view text);

} // namespace pipenet::plot
