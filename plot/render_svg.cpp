#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "plot/colour_scale.hpp"
#include "plot/render.hpp"
#include "plot/view_transform.hpp"

namespace pipenet::plot {

std::string escape_markup(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            safe += "&amp;";
            break;
        case '<':
            safe += "&lt;";
            break;
        case '>':
            safe += "&gt;";
            break;
        case '"':
            safe += "&quot;";
            break;
        case '\'':
            safe += "&#39;";
            break;
        default:
            // Control characters are not allowed in XML 1.0.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
                safe += '?';
            } else {
                safe += c;
            }
        }
    }
    return safe;
}

namespace {

// Narrower than the space left of the legend (x 870): a discharge label beside a node on the
// right edge ends before the legend starts.
constexpr Frame network_frame{40.0, 80.0, 700.0, 560.0};

// A screen coordinate: one decimal is a tenth of a pixel.
void coordinate(std::string& out, double value) {
    std::array<char, 32> text{};
    const int length = std::snprintf(text.data(), text.size(), "%.1f", value);
    std::string_view written(text.data(), static_cast<std::size_t>(std::max(length, 0)));
    // Whole numbers without their ".0": the largest pictures are a few megabytes of these.
    if (written.ends_with(".0")) written.remove_suffix(2);
    if (written == "-0") written = "0";
    out += written;
}

std::string number(double value) {
    if (std::isnan(value)) return "NaN";
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.6g", value);
    return text.data();
}

// A value for a label: three significant digits in plain notation (0.0000795, 0.0148, 1230),
// which a reader takes in at a glance.
std::string label_number(double value) {
    if (!std::isfinite(value)) return number(value);
    if (value == 0.0) return "0";
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const double scale = std::pow(10.0, exponent - 2);
    const double rounded = std::round(value / scale) * scale;
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.*f", std::max(2 - exponent, 0), rounded);
    return text.data();
}

void attribute(std::string& out, const char* name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    coordinate(out, value);
    out += '"';
}

struct Scales {
    Colour colour = Colour::head;
    double low_head = 0.0; // of the value the colours show
    double high_head = 0.0;
    double largest_discharge = 0.0;
};

// The value a node's colour shows.
std::optional<float> coloured_value(const PlotNode& node, Colour colour) {
    return colour == Colour::pressure ? node.pressure : node.head;
}

Scales scales_of(const PlotNetwork& network, Colour colour) {
    Scales scales;
    scales.colour = colour;
    bool any = false;
    for (const PlotNode& node : network.nodes) {
        const std::optional<float> value = coloured_value(node, colour);
        if (!value || !std::isfinite(*value)) continue;
        scales.low_head = any ? std::min(scales.low_head, double{*value}) : *value;
        scales.high_head = any ? std::max(scales.high_head, double{*value}) : *value;
        any = true;
    }
    for (const PlotPipe& pipe : network.pipes)
        if (pipe.discharge && std::isfinite(*pipe.discharge))
            scales.largest_discharge =
                std::max(scales.largest_discharge, std::fabs(double{*pipe.discharge}));
    return scales;
}

const char* program_name(Program program) {
    return program == Program::lamnet ? "lamnet" : "turbnet";
}

void write_header(std::string& out, const PlotNetwork& network, double height) {
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"network\" width=\"960\" height=\"";
    coordinate(out, height);
    out += "\" viewBox=\"0 0 960 ";
    coordinate(out, height);
    out += "\">\n<style>"
           ".pipe line{stroke:#4d4d4d;stroke-linecap:round}.pipe .arrow{fill:#1a1a1a}"
           ".node circle,.node rect{stroke:#1a1a1a;stroke-width:1}"
           ".label{font:11px sans-serif;fill:#1a1a1a}.title{font:bold 16px sans-serif}"
           ".banner rect{fill:#c62828}.banner text{font:bold 14px sans-serif;fill:#fff}"
           ".known-discharge line{stroke:#1565c0;stroke-width:2}"
           ".known-discharge path{fill:#1565c0}.known-discharge text{fill:#1565c0}"
           ".band .entry,.band .diagonal{fill:#1a1a1a}.band .widest{fill:#c62828}"
           ".band .edge{stroke:#c62828;stroke-dasharray:4 3;fill:none}"
           ".highlight circle,.highlight rect{stroke:#e91e63;stroke-width:4}"
           ".highlight line{stroke:#e91e63}"
           "</style>\n<rect class=\"background\" width=\"960\" height=\"";
    coordinate(out, height);
    out += "\" fill=\"#ffffff\"/>\n";
    out += "<text class=\"title\" x=\"40\" y=\"28\">" + escape_markup(network.file) +
           " \xe2\x80\x94 " + (network.inp ? ".inp" : program_name(network.program)) +
           " \xe2\x80\x94 " + std::to_string(network.nodes.size()) + " nodes, " +
           std::to_string(network.pipes.size()) + " pipes</text>\n";
}

void write_banner(std::string& out, const PlotNetwork& network, bool results_asked) {
    std::string text;
    if (network.has_results && network.verdict == solve::Verdict::not_converged) {
        text = "NOT CONVERGED: last relative residual " +
               (network.last_residual ? number(*network.last_residual) : std::string("none"));
    } else if (network.has_results && network.verdict == solve::Verdict::not_a_number) {
        text = "NOT SOLVED: a head is not a number";
    } else if (results_asked && !network.has_results) {
        text =
            std::string("NOT SOLVED (") + solve::verdict_name(network.verdict) + "): geometry only";
        if (!network.messages.empty()) text += " \xe2\x80\x94 " + network.messages.front();
    } else if (!network.warnings.empty()) {
        // The banner holds some 90 characters: the code and the start of the text.
        std::string more;
        if (network.warnings.size() > 1)
            more = " (and " + std::to_string(network.warnings.size() - 1) + " more)";
        text = "WARNING " + network.warnings.front();
        if (text.size() + more.size() > 90) text = text.substr(0, 87 - more.size()) + "...";
        text += more;
    }
    if (text.empty()) return;
    out += "<g class=\"banner\"><rect x=\"40\" y=\"38\" width=\"760\" height=\"26\"/>"
           "<text x=\"48\" y=\"56\">" +
           escape_markup(text) + "</text></g>\n";
}

void write_pipe(std::string& out, const PlotPipe& pipe, Point a, Point b, const Scales& scales,
                Labels labels) {
    const std::string name = pipe.id ? escape_markup(*pipe.id) : std::to_string(pipe.pipe);
    out += "<g class=\"pipe\" data-pipe=\"" + std::to_string(pipe.pipe) + "\"><title>pipe " + name;
    // The ends by number, where the nodes are known by their numbers.
    if (!pipe.id)
        out += " (" + std::to_string(pipe.start) + " to " + std::to_string(pipe.end) + ")";
    if (pipe.discharge) out += "\ndischarge " + number(*pipe.discharge);
    out += "\nlength " + number(pipe.length) + "\ndiameter " + number(pipe.diameter) + "</title>";
    std::optional<double> width;
    if (pipe.discharge) {
        const double size = std::fabs(double{*pipe.discharge});
        width = scales.largest_discharge > 0.0 && std::isfinite(size)
                    ? 1.0 + 7.0 * size / scales.largest_discharge
                    : 1.0;
    }
    out += "<line";
    attribute(out, "x1", a.x);
    attribute(out, "y1", a.y);
    attribute(out, "x2", b.x);
    attribute(out, "y2", b.y);
    if (width) attribute(out, "stroke-width", *width);
    out += "/>";
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double screen_length = std::hypot(dx, dy);
    const Point middle{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0};
    // An arrowhead only where the pipe is long enough on the picture to show it.
    if (pipe.discharge && std::isfinite(*pipe.discharge) && *pipe.discharge != 0.0f &&
        screen_length >= 24.0) {
        const double sign = *pipe.discharge > 0.0f ? 1.0 : -1.0;
        const double ux = sign * dx / screen_length;
        const double uy = sign * dy / screen_length;
        const double size = 4.0 + *width;
        out += "<path class=\"arrow\" d=\"M";
        coordinate(out, middle.x + ux * size);
        out += ',';
        coordinate(out, middle.y + uy * size);
        out += 'L';
        coordinate(out, middle.x - ux * size - uy * size * 0.7);
        out += ',';
        coordinate(out, middle.y - uy * size + ux * size * 0.7);
        out += 'L';
        coordinate(out, middle.x - ux * size + uy * size * 0.7);
        out += ',';
        coordinate(out, middle.y - uy * size - ux * size * 0.7);
        out += "Z\"/>";
    }
    if (labels == Labels::pipes || labels == Labels::all) {
        out += "<text class=\"label\"";
        attribute(out, "x", middle.x + 4.0);
        attribute(out, "y", middle.y - 4.0);
        out += ">" + name + "</text>";
    }
    out += "</g>\n";
}

void write_node(std::string& out, const PlotNode& node, Point at, double radius,
                const Scales& scales, Labels labels) {
    std::string fill = "#ffffff";
    if (const std::optional<float> value = coloured_value(node, scales.colour); node.head) {
        fill = value && std::isfinite(*value)
                   ? hex(scale_colour(*value, scales.low_head, scales.high_head))
                   : "#9e9e9e";
    }
    const bool reservoir = node.known_head.has_value();
    const std::string name = node.id ? escape_markup(*node.id) : std::to_string(node.node);
    out += std::string("<g class=\"node") + (reservoir ? " reservoir" : "") + "\" data-node=\"" +
           std::to_string(node.node) + "\"><title>node " + name;
    if (node.head) out += "\nhead " + number(*node.head);
    if (node.pressure) out += "\npressure " + number(*node.pressure);
    if (node.known_head) out += "\nknown head " + number(*node.known_head);
    if (node.known_discharge != 0.0f) out += "\nknown discharge " + number(node.known_discharge);
    out += "</title>";
    if (reservoir) {
        out += "<rect";
        attribute(out, "x", at.x - 1.3 * radius);
        attribute(out, "y", at.y - 1.3 * radius);
        attribute(out, "width", 2.6 * radius);
        attribute(out, "height", 2.6 * radius);
    } else {
        out += "<circle";
        attribute(out, "cx", at.x);
        attribute(out, "cy", at.y);
        attribute(out, "r", radius);
    }
    out += " fill=\"" + fill + "\"/>";
    if (labels == Labels::nodes || labels == Labels::all) {
        out += "<text class=\"label\"";
        attribute(out, "x", at.x + radius + 2.0);
        attribute(out, "y", at.y + radius + 10.0);
        out += ">" + name + "</text>";
    }
    out += "</g>\n";
}

// An arrow into the node for a discharge supplied there, out of it for one drawn off.
void write_known_discharge(std::string& out, const PlotNode& node, Point at, double radius,
                           bool label) {
    const double reach = radius + 26.0;
    const Point far{at.x + reach * 0.7071, at.y - reach * 0.7071};
    const Point near{at.x + (radius + 2.0) * 0.7071, at.y - (radius + 2.0) * 0.7071};
    const bool supplied = node.known_discharge > 0.0f;
    const Point tip = supplied ? near : far;
    const double ux = supplied ? -0.7071 : 0.7071;
    const double uy = supplied ? 0.7071 : -0.7071;
    out += "<g class=\"known-discharge\" data-node=\"" + std::to_string(node.node) + "\"><line";
    attribute(out, "x1", near.x);
    attribute(out, "y1", near.y);
    attribute(out, "x2", far.x);
    attribute(out, "y2", far.y);
    out += "/><path d=\"M";
    coordinate(out, tip.x);
    out += ',';
    coordinate(out, tip.y);
    out += 'L';
    coordinate(out, tip.x - ux * 7.0 - uy * 4.0);
    out += ',';
    coordinate(out, tip.y - uy * 7.0 + ux * 4.0);
    out += 'L';
    coordinate(out, tip.x - ux * 7.0 + uy * 4.0);
    out += ',';
    coordinate(out, tip.y - uy * 7.0 - ux * 4.0);
    out += "Z\"/>";
    if (label) {
        out += "<text class=\"label\"";
        attribute(out, "x", far.x + 3.0);
        attribute(out, "y", far.y - 3.0);
        out += ">" + std::string(supplied ? "in " : "out ") +
               label_number(std::fabs(double{node.known_discharge})) + "</text>";
    }
    out += "</g>\n";
}

void write_legend(std::string& out, const Scales& scales, Program program, bool inp) {
    out += "<g class=\"legend\"><defs><linearGradient id=\"head-scale\" x1=\"0\" y1=\"1\" "
           "x2=\"0\" y2=\"0\">";
    for (int i = 0; i <= 10; ++i) {
        out += "<stop offset=\"" + number(i / 10.0) + "\" stop-color=\"" + hex(viridis(i / 10.0)) +
               "\"/>";
    }
    out += "</linearGradient></defs>"
           "<text class=\"label\" x=\"870\" y=\"92\">" +
           std::string(scales.colour == Colour::pressure ? "pressure" : "head") +
           "</text>"
           "<rect x=\"870\" y=\"120\" width=\"22\" height=\"300\" fill=\"url(#head-scale)\" "
           "stroke=\"#1a1a1a\"/>"
           "<text class=\"label\" x=\"898\" y=\"126\">" +
           number(scales.high_head) + "</text><text class=\"label\" x=\"898\" y=\"420\">" +
           number(scales.low_head) + "</text><text class=\"label\" x=\"870\" y=\"106\">" +
           std::string(program == Program::turbnet || inp ? "(m)" : "(input's length unit)") +
           "</text></g>\n";
}

void write_scale_bar(std::string& out, const ViewTransform& view, Program program) {
    const double longest = network_frame.width / 4.0 / view.scale();
    if (!(longest > 0.0) || !std::isfinite(longest)) return;
    const double length = round_scale_length(longest);
    const double pixels = length * view.scale();
    out += "<g class=\"scale-bar\"><path d=\"M40,";
    coordinate(out, network_height - 40.0);
    out += "h";
    coordinate(out, pixels);
    out += "\" stroke=\"#1a1a1a\" stroke-width=\"2\" fill=\"none\"/><text class=\"label\" "
           "x=\"40\" y=\"";
    coordinate(out, network_height - 26.0);
    out += "\">" + number(length) +
           (program == Program::turbnet ? " m" : " (input's length unit)") + "</text></g>\n";
}

void write_band(std::string& out, const BandPattern& band) {
    const double top = network_height + 40.0;
    const double side = 400.0;
    const double n = std::max(1, band.equations);
    const double cell = side / n;
    const double mark = std::max(cell, 1.0);
    out += "<g class=\"band\"><text class=\"label\" x=\"40\"";
    attribute(out, "y", top - 12.0);
    out +=
        ">" +
        escape_markup(band_pattern_text(band, 0).substr(0, band_pattern_text(band, 0).size() - 1)) +
        "</text><rect x=\"40\"";
    attribute(out, "y", top);
    out += " width=\"400\" height=\"400\" fill=\"none\" stroke=\"#9e9e9e\"/>";
    for (std::int32_t k = 0; k < band.equations; ++k) {
        out += "<rect class=\"diagonal\"";
        attribute(out, "x", 40.0 + k * cell);
        attribute(out, "y", top + k * cell);
        attribute(out, "width", mark);
        attribute(out, "height", mark);
        out += "/>";
    }
    for (const auto& [row, column] : band.upper) {
        const bool widest = std::min(band.widest_start, band.widest_end) == row &&
                            std::max(band.widest_start, band.widest_end) == column;
        for (const auto& [r, c] : {std::pair{row, column}, std::pair{column, row}}) {
            out += widest ? "<rect class=\"widest\"" : "<rect class=\"entry\"";
            attribute(out, "x", 40.0 + (c - 1) * cell);
            attribute(out, "y", top + (r - 1) * cell);
            attribute(out, "width", mark);
            attribute(out, "height", mark);
            out += "/>";
        }
    }
    // The band's edges: the last columns inside it on either side of the diagonal.
    const double offset = std::min(n, static_cast<double>(band.half_band)) * cell;
    out += "<path class=\"edge\" d=\"M";
    coordinate(out, 40.0 + offset);
    out += ',';
    coordinate(out, top);
    out += 'L';
    coordinate(out, 440.0);
    out += ',';
    coordinate(out, top + side - offset);
    out += "M40,";
    coordinate(out, top + offset);
    out += 'L';
    coordinate(out, 440.0 - offset);
    out += ',';
    coordinate(out, top + side);
    out += "\"/></g>\n";
}

} // namespace

std::string render_svg(const PlotNetwork& network, const RenderSettings& settings) {
    const double height = network_height + (settings.band ? band_height : 0.0);
    std::string out;
    out.reserve(300 * (network.nodes.size() + network.pipes.size()) + 4096);
    write_header(out, network, height);
    write_banner(out, network, network.analysed);

    std::vector<Point> input(network.nodes.size());
    for (std::size_t k = 0; k < network.nodes.size(); ++k)
        input[k] = {network.nodes[k].x, network.nodes[k].y};
    const ViewTransform view = ViewTransform::fit(input, network_frame);
    std::vector<Point> screen(input.size());
    for (std::size_t k = 0; k < input.size(); ++k) screen[k] = view.to_screen(input[k]);

    // Dense networks get smaller nodes, so that neighbours stay apart.
    const double per_node =
        std::sqrt(network_frame.width * network_frame.height /
                  static_cast<double>(std::max<std::size_t>(1, network.nodes.size())));
    const double radius = std::clamp(0.2 * per_node, 2.0, 7.0);
    const Scales scales = scales_of(network, settings.colour);
    Labels labels = settings.labels;
    if (labels == Labels::automatic)
        labels = network.nodes.size() <= 200 ? Labels::all : Labels::none;

    // The width as an attribute, so that a pipe's own width overrides it; a style sheet rule
    // would override every pipe's.
    out += "<g class=\"pipes\" stroke-width=\"2\">\n";
    for (const PlotPipe& pipe : network.pipes)
        write_pipe(out, pipe, screen[static_cast<std::size_t>(pipe.start - 1)],
                   screen[static_cast<std::size_t>(pipe.end - 1)], scales, labels);
    out += "</g>\n<g class=\"nodes\">\n";
    for (std::size_t k = 0; k < network.nodes.size(); ++k)
        write_node(out, network.nodes[k], screen[k], radius, scales, labels);
    out += "</g>\n";
    for (std::size_t k = 0; k < network.nodes.size(); ++k)
        if (network.nodes[k].known_discharge != 0.0f)
            write_known_discharge(out, network.nodes[k], screen[k], radius,
                                  labels == Labels::nodes || labels == Labels::all);
    if (network.has_results) write_legend(out, scales, network.program, network.inp);
    write_scale_bar(out, view, network.program);
    if (settings.band) write_band(out, *settings.band);
    out += "</svg>\n";
    return out;
}

} // namespace pipenet::plot
