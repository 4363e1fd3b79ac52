#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "plot/colour_scale.hpp"
#include "plot/label_placement.hpp"
#include "plot/legend_values.hpp"
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

void attribute(std::string& out, const char* name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    coordinate(out, value);
    out += '"';
}

struct Scales {
    Colour colour = Colour::head;
    double low = 0.0; // of the value the colours show
    double high = 0.0;
    double largest_discharge = 0.0;
};

bool colours_pipes(Colour colour) {
    return colour == Colour::velocity || colour == Colour::flow;
}

// The value a node's colour shows: none where the colours show the pipes.
std::optional<float> coloured_value(const PlotNode& node, Colour colour) {
    if (colours_pipes(colour)) return std::nullopt;
    return colour == Colour::pressure ? node.pressure : node.head;
}

// The value a pipe's colour shows: the magnitude, the direction being the arrow's.
std::optional<float> coloured_value(const PlotPipe& pipe, Colour colour) {
    const std::optional<float> value = colour == Colour::velocity ? pipe.velocity
                                       : colour == Colour::flow   ? pipe.discharge
                                                                  : std::nullopt;
    if (!value) return std::nullopt;
    return std::fabs(*value);
}

Scales scales_of(const PlotNetwork& network, Colour colour) {
    Scales scales;
    scales.colour = colour;
    bool any = false;
    const auto extend = [&](std::optional<float> value) {
        if (!value || !std::isfinite(*value)) return;
        scales.low = any ? std::min(scales.low, double{*value}) : *value;
        scales.high = any ? std::max(scales.high, double{*value}) : *value;
        any = true;
    };
    for (const PlotNode& node : network.nodes) extend(coloured_value(node, colour));
    for (const PlotPipe& pipe : network.pipes) extend(coloured_value(pipe, colour));
    for (const PlotPipe& pipe : network.pipes)
        if (pipe.discharge && std::isfinite(*pipe.discharge))
            scales.largest_discharge =
                std::max(scales.largest_discharge, std::fabs(double{*pipe.discharge}));
    return scales;
}

// A pipe's width in pixels for a discharge: 1 for none, 8 for the largest.
double pipe_width(double discharge, double largest) {
    const double size = std::fabs(discharge);
    return largest > 0.0 && std::isfinite(size) ? 1.0 + 7.0 * size / largest : 1.0;
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
           ".pipe line{stroke-linecap:round}.pipe .arrow{fill:#1a1a1a}"
           ".node circle,.node rect{stroke:#1a1a1a;stroke-width:1}"
           ".label{font:11px sans-serif;fill:#1a1a1a;stroke:none}.title{font:bold 16px sans-serif}"
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
           " \xe2\x80\x94 " + std::to_string(network.nodes.size()) + " nodes, ";
    const auto pumps = std::count_if(network.pipes.begin(), network.pipes.end(),
                                     [](const PlotPipe& pipe) { return pipe.pump; });
    const auto valves = std::count_if(network.pipes.begin(), network.pipes.end(),
                                      [](const PlotPipe& pipe) { return pipe.valve.has_value(); });
    out +=
        std::to_string(network.pipes.size() - static_cast<std::size_t>(pumps + valves)) + " pipes";
    if (pumps > 0) out += ", " + std::to_string(pumps) + " pumps";
    if (valves > 0) out += ", " + std::to_string(valves) + " valves";
    out += "</text>\n";
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

// Where a pipe's name starts: beside its middle, on the upper side (the right of a vertical
// pipe), clear of the line and of the arrowhead there.
Point pipe_label_start(const PlotPipe& pipe, Point a, Point b, const Scales& scales,
                       const std::string& text) {
    const Point middle{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0};
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    Point normal{0.0, -1.0};
    if (length > 0.0 && std::isfinite(length)) {
        normal = {-(b.y - a.y) / length, (b.x - a.x) / length};
        if (normal.y > 0.0 || (normal.y == 0.0 && normal.x < 0.0)) normal = {-normal.x, -normal.y};
    }
    // Half the breadth of what is drawn at the middle: the line, or the arrowhead.
    double half = 1.0; // the default width of 2 without results
    if (pipe.discharge) {
        const double width = pipe_width(*pipe.discharge, scales.largest_discharge);
        half = width / 2.0;
        if (std::isfinite(*pipe.discharge) && *pipe.discharge != 0.0f && length >= 24.0)
            half = std::max(half, 0.7 * (4.0 + width));
    }
    if (pipe.pump) half = std::max(half, 7.75); // the symbol's circle and its edge
    if (pipe.valve || pipe.check_valve) half = std::max(half, 6.75); // the symbol and its edge
    const double clearance = half + 3.0;
    const Box box = label_box({0.0, 0.0}, text);
    const double width = box.right - box.left;
    const double height = box.bottom - box.top;
    // The box's centre, so that its side or corner nearest the pipe lies at the clearance.
    const Point centre{middle.x + normal.x * (clearance + width / 2.0),
                       middle.y + normal.y * (clearance + height / 2.0)};
    return {centre.x - width / 2.0, centre.y - (box.top + box.bottom) / 2.0};
}

// A pump's symbol at the middle of its link: a circle holding a triangle that points from its
// start to its end, white when it runs, grey when it is closed.
// The middle of a link on the picture and the unit vector from its start to its end (along x
// for a link of no length, whose ends coincide on the picture).
struct Course {
    Point middle;
    double ux = 1.0;
    double uy = 0.0;
};

Course course_of(Point a, Point b) {
    Course c{{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0}};
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    if (length > 0.0 && std::isfinite(length)) {
        c.ux = (b.x - a.x) / length;
        c.uy = (b.y - a.y) / length;
    }
    return c;
}

void write_pump_symbol(std::string& out, const PlotPipe& pipe, Point a, Point b) {
    const auto [middle, ux, uy] = course_of(a, b);
    const bool closed = pipe.state && *pipe.state == "closed";
    constexpr double radius = 7.0;
    out += "<circle class=\"symbol\" stroke=\"#1a1a1a\" stroke-width=\"1.5\" fill=\"";
    out += closed ? "#bdbdbd" : "#ffffff";
    out += '"';
    attribute(out, "cx", middle.x);
    attribute(out, "cy", middle.y);
    attribute(out, "r", radius);
    out += "/><path class=\"symbol\" stroke=\"none\" fill=\"";
    out += closed ? "#757575" : "#1a1a1a";
    out += "\" d=\"M";
    const double tip = 0.7 * radius;
    coordinate(out, middle.x + ux * tip);
    out += ',';
    coordinate(out, middle.y + uy * tip);
    for (double side : {1.0, -1.0}) {
        out += 'L';
        coordinate(out, middle.x - ux * tip * 0.6 - side * uy * tip * 0.8);
        out += ',';
        coordinate(out, middle.y - uy * tip * 0.6 + side * ux * tip * 0.8);
    }
    out += "Z\"/>";
}

// The valve symbol's size, and where the middle of its type's text goes: beside the middle of
// the link, below a level link and left of an upright one, away from the name.
constexpr double valve_reach = 8.0; // from the tips to a triangle's base
constexpr double valve_breadth = 6.0;
constexpr double kind_font_size = 9.0;

Point valve_kind_centre(Point a, Point b) {
    const Point middle{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0};
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    Point away{0.0, 1.0};
    if (length > 0.0 && std::isfinite(length)) {
        away = {-(b.y - a.y) / length, (b.x - a.x) / length};
        if (away.y < 0.0 || (away.y == 0.0 && away.x > 0.0)) away = {-away.x, -away.y};
    }
    const double gap = valve_breadth + 10.0;
    return {middle.x + away.x * gap, middle.y + away.y * gap};
}

// A valve's symbol at the middle of its link: two triangles meeting at their tips (a bow tie),
// white when open, the end node's half black when active, grey when closed; its type in capitals
// on the side of the link away from its name.
void write_valve_symbol(std::string& out, const PlotPipe& pipe, Point a, Point b) {
    const auto [middle, ux, uy] = course_of(a, b);
    const std::string state = pipe.state.value_or("open");
    constexpr double reach = valve_reach;
    constexpr double breadth = valve_breadth;
    for (const double side : {-1.0, 1.0}) { // the start's half, then the end's
        const char* fill = "#ffffff";
        if (state == "closed") fill = "#757575";
        if (state == "active" && side > 0.0) fill = "#1a1a1a";
        out += "<path class=\"symbol\" stroke=\"#1a1a1a\" stroke-width=\"1.5\" "
               "stroke-linejoin=\"round\" fill=\"";
        out += fill;
        out += "\" d=\"M";
        coordinate(out, middle.x);
        out += ',';
        coordinate(out, middle.y);
        for (const double across : {1.0, -1.0}) {
            out += 'L';
            coordinate(out, middle.x + side * ux * reach - across * uy * breadth);
            out += ',';
            coordinate(out, middle.y + side * uy * reach + across * ux * breadth);
        }
        out += "Z\"/>";
    }
    std::string type = *pipe.valve;
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    out += "<text class=\"kind\" font-family=\"sans-serif\" font-size=\"" + number(kind_font_size) +
           "\" font-weight=\"bold\" "
           "text-anchor=\"middle\" fill=\"#1a1a1a\" stroke=\"none\"";
    const Point centre = valve_kind_centre(a, b);
    attribute(out, "x", centre.x);
    attribute(out, "y", centre.y + kind_font_size / 3.0); // the baseline below the text's middle
    out += ">" + escape_markup(type) + "</text>";
}

// A check valve's symbol at the middle of its pipe: a triangle pointing the one way water may
// go, from the start to the end node, against a bar; white when open, grey when closed.
void write_check_valve_symbol(std::string& out, const PlotPipe& pipe, Point a, Point b) {
    const auto [middle, ux, uy] = course_of(a, b);
    const bool closed = pipe.state && *pipe.state == "closed";
    constexpr double reach = 5.0;
    constexpr double breadth = 5.0;
    out += "<path class=\"symbol\" stroke=\"#1a1a1a\" stroke-width=\"1.5\" "
           "stroke-linejoin=\"round\" fill=\"";
    out += closed ? "#757575" : "#ffffff";
    out += "\" d=\"M";
    coordinate(out, middle.x + ux * reach);
    out += ',';
    coordinate(out, middle.y + uy * reach);
    for (const double across : {1.0, -1.0}) {
        out += 'L';
        coordinate(out, middle.x - ux * reach - across * uy * breadth);
        out += ',';
        coordinate(out, middle.y - uy * reach + across * ux * breadth);
    }
    out += "Z\"/><path class=\"symbol bar\" stroke=\"#1a1a1a\" stroke-width=\"2\" d=\"M";
    for (const double across : {1.0, -1.0}) {
        if (across < 0.0) out += 'L';
        coordinate(out, middle.x + ux * (reach + 1.0) - across * uy * breadth);
        out += ',';
        coordinate(out, middle.y + uy * (reach + 1.0) + across * ux * breadth);
    }
    out += "\"/>";
}

const char* pipe_group_class(const PlotPipe& pipe) {
    if (pipe.pump) return "pipe pump";
    if (pipe.check_valve) return "pipe check-valve";
    if (!pipe.valve) return "pipe";
    return nullptr; // a valve: its type is part of the class
}

void write_pipe(std::string& out, const PlotPipe& pipe, Point a, Point b, const Scales& scales,
                std::optional<Point> label) {
    const std::string name = pipe.id ? escape_markup(*pipe.id) : std::to_string(pipe.pipe);
    // The state before the number, so that a match on the number's end still finds the title.
    const char* group = pipe_group_class(pipe);
    out += "<g class=\"" +
           (group ? std::string(group) : "pipe valve " + escape_markup(*pipe.valve)) + '"';
    if (pipe.state) out += " data-state=\"" + escape_markup(*pipe.state) + "\"";
    out += " data-pipe=\"" + std::to_string(pipe.pipe) + "\"><title>" +
           (pipe.pump    ? "pump "
            : pipe.valve ? "valve "
                         : "pipe ") +
           name;
    if (pipe.valve) out += " (" + escape_markup(*pipe.valve) + ")";
    if (pipe.check_valve) out += " (check valve)";
    // The ends by number, where the nodes are known by their numbers.
    if (!pipe.id)
        out += " (" + std::to_string(pipe.start) + " to " + std::to_string(pipe.end) + ")";
    if (pipe.state) out += "\n" + escape_markup(*pipe.state);
    if (pipe.discharge) out += "\ndischarge " + number(*pipe.discharge);
    if (pipe.velocity && colours_pipes(scales.colour) && !pipe.pump)
        out += "\nvelocity " + number(*pipe.velocity);
    if (pipe.pump && pipe.head_loss) out += "\nhead gain " + number(-*pipe.head_loss);
    if (pipe.valve && pipe.head_loss) out += "\nhead loss " + number(*pipe.head_loss);
    if (pipe.setting) out += "\nsetting " + number(*pipe.setting);
    if (pipe.valve) out += "\ndiameter " + number(pipe.diameter);
    if (!pipe.pump && !pipe.valve)
        out += "\nlength " + number(pipe.length) + "\ndiameter " + number(pipe.diameter);
    out += "</title>";
    std::optional<double> width;
    if (pipe.discharge) width = pipe_width(*pipe.discharge, scales.largest_discharge);
    std::string stroke;
    if (colours_pipes(scales.colour) && width) {
        const std::optional<float> value = coloured_value(pipe, scales.colour);
        stroke = value && std::isfinite(*value) ? hex(scale_colour(*value, scales.low, scales.high))
                                                : "#9e9e9e";
        // A dark edge on either side keeps the light end of the scale visible on white.
        out += "<line class=\"casing\" stroke=\"#1a1a1a\"";
        attribute(out, "x1", a.x);
        attribute(out, "y1", a.y);
        attribute(out, "x2", b.x);
        attribute(out, "y2", b.y);
        attribute(out, "stroke-width", *width + 2.0);
        out += "/>";
    }
    out += "<line";
    attribute(out, "x1", a.x);
    attribute(out, "y1", a.y);
    attribute(out, "x2", b.x);
    attribute(out, "y2", b.y);
    if (width) attribute(out, "stroke-width", *width);
    if (!stroke.empty()) out += " stroke=\"" + stroke + "\"";
    const bool symbol = pipe.pump || pipe.valve || pipe.check_valve;
    if (symbol && pipe.state && *pipe.state == "closed") out += " stroke-dasharray=\"4 3\"";
    out += "/>";
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double screen_length = std::hypot(dx, dy);
    const Point middle{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0};
    if (symbol) {
        // A symbol shows the element and its way; it takes the arrowhead's place.
        if (pipe.pump) write_pump_symbol(out, pipe, a, b);
        if (pipe.valve) write_valve_symbol(out, pipe, a, b);
        if (pipe.check_valve) write_check_valve_symbol(out, pipe, a, b);
    } else if (pipe.discharge && std::isfinite(*pipe.discharge) && *pipe.discharge != 0.0f &&
               screen_length >= 24.0) {
        // An arrowhead only where the pipe is long enough on the picture to show it.
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
    if (label) {
        out += "<text class=\"label\"";
        attribute(out, "x", label->x);
        attribute(out, "y", label->y);
        out += ">" + name + "</text>";
    }
    out += "</g>\n";
}

void write_node(std::string& out, const PlotNode& node, Point at, double radius,
                const Scales& scales, std::optional<Point> label) {
    std::string fill = "#ffffff";
    if (const std::optional<float> value = coloured_value(node, scales.colour);
        node.head && !colours_pipes(scales.colour)) {
        fill = value && std::isfinite(*value) ? hex(scale_colour(*value, scales.low, scales.high))
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
    if (label) {
        out += "<text class=\"label\"";
        attribute(out, "x", label->x);
        attribute(out, "y", label->y);
        out += ">" + name + "</text>";
    }
    out += "</g>\n";
}

std::string known_discharge_text(const PlotNode& node) {
    return std::string(node.known_discharge > 0.0f ? "in " : "out ") +
           three_digits(std::fabs(double{node.known_discharge}));
}

// Where the arrow of a known discharge ends, away from the node.
Point known_discharge_far(Point at, double radius) {
    const double reach = radius + 26.0;
    return {at.x + reach * 0.7071, at.y - reach * 0.7071};
}

// An arrow into the node for a discharge supplied there, out of it for one drawn off.
void write_known_discharge(std::string& out, const PlotNode& node, Point at, double radius,
                           std::optional<Point> label) {
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
        attribute(out, "x", label->x);
        attribute(out, "y", label->y);
        out += ">" + known_discharge_text(node) + "</text>";
    }
    out += "</g>\n";
}

// The legend's column, right of the drawing.
constexpr double legend_left = 870.0;

enum class Quantity : std::uint8_t { length, velocity, discharge };

// A unit in one or two lines of the legend's narrow column. turbnet's and .inp files' results
// are in metres and seconds; lamnet takes any consistent units.
std::vector<std::string> unit_lines(Quantity quantity, bool metres) {
    switch (quantity) {
    case Quantity::length:
        return metres ? std::vector<std::string>{"(m)"}
                      : std::vector<std::string>{"(input's", "length unit)"};
    case Quantity::velocity:
        return metres ? std::vector<std::string>{"(m/s)"}
                      : std::vector<std::string>{"(length/time,", "input's units)"};
    case Quantity::discharge:
        break;
    }
    return metres ? std::vector<std::string>{"(m\xc2\xb3/s)"}
                  : std::vector<std::string>{"(length\xc2\xb3/time,", "input's units)"};
}

void legend_text(std::string& out, double x, double y, const std::string& text) {
    out += "<text class=\"label\"";
    attribute(out, "x", x);
    attribute(out, "y", y);
    out += ">" + escape_markup(text) + "</text>";
}

// Returns the height taken.
double write_colour_bar(std::string& out, const Scales& scales, bool metres, double top) {
    out += "<g class=\"colour-bar\"><defs><linearGradient id=\"head-scale\" x1=\"0\" y1=\"1\" "
           "x2=\"0\" y2=\"0\">";
    for (int i = 0; i <= 10; ++i) {
        out += "<stop offset=\"" + number(i / 10.0) + "\" stop-color=\"" + hex(viridis(i / 10.0)) +
               "\"/>";
    }
    out += "</linearGradient></defs>";
    const char* title = scales.colour == Colour::pressure   ? "pressure"
                        : scales.colour == Colour::velocity ? "|velocity|"
                        : scales.colour == Colour::flow     ? "|discharge|"
                                                            : "head";
    legend_text(out, legend_left, top + 12.0, title);
    double y = top + 12.0;
    const Quantity quantity = scales.colour == Colour::velocity ? Quantity::velocity
                              : scales.colour == Colour::flow   ? Quantity::discharge
                                                                : Quantity::length;
    for (const std::string& line : unit_lines(quantity, metres))
        legend_text(out, legend_left, y += 14.0, line);
    const double bar_top = y + 14.0;
    const double bar_height = 240.0;
    const double bar_bottom = bar_top + bar_height;
    out += "<rect";
    attribute(out, "x", legend_left);
    attribute(out, "y", bar_top);
    out += " width=\"22\"";
    attribute(out, "height", bar_height);
    out += " fill=\"url(#head-scale)\" stroke=\"#1a1a1a\"/>";
    // The ends give the exact range; the ticks between them round values.
    legend_text(out, legend_left + 28.0, bar_top + 6.0, six_digits(scales.high));
    legend_text(out, legend_left + 28.0, bar_bottom, six_digits(scales.low));
    for (const Tick& tick : colour_bar_ticks(scales.low, scales.high)) {
        const double at =
            bar_bottom - bar_height * (tick.value - scales.low) / (scales.high - scales.low);
        // Clear of the labels of the ends.
        if (at < bar_top + 16.0 || at > bar_bottom - 16.0) continue;
        out += "<path class=\"tick\" d=\"M";
        coordinate(out, legend_left + 16.0);
        out += ',';
        coordinate(out, at);
        out += "h10\" stroke=\"#1a1a1a\"/>";
        legend_text(out, legend_left + 28.0, at + 4.0, tick.text);
    }
    out += "</g>\n";
    return bar_bottom - top;
}

// What a pipe's width means: the largest discharge and two round ones below it.
void write_width_legend(std::string& out, const Scales& scales, bool metres, double top) {
    const double largest = scales.largest_discharge;
    if (!(largest > 0.0) || !std::isfinite(largest)) return;
    out += "<g class=\"width-legend\">";
    double y = top;
    legend_text(out, legend_left, y += 12.0, "pipe width:");
    legend_text(out, legend_left, y += 14.0, "|discharge|");
    for (const std::string& line : unit_lines(Quantity::discharge, metres))
        legend_text(out, legend_left, y += 14.0, line);
    y += 6.0;
    for (const double value : {largest, round_down(largest / 2.0), round_down(largest / 8.0)}) {
        y += 20.0;
        out += "<path d=\"M";
        coordinate(out, legend_left);
        out += ',';
        coordinate(out, y);
        out += "h30\" stroke=\"#4d4d4d\"";
        attribute(out, "stroke-width", pipe_width(value, largest));
        out += "/>";
        legend_text(out, legend_left + 36.0, y + 4.0, three_digits(value));
    }
    out += "</g>\n";
}

void write_legend(std::string& out, const Scales& scales, bool metres) {
    out += "<g class=\"legend\">";
    const double top = 80.0;
    const double height = write_colour_bar(out, scales, metres, top);
    write_width_legend(out, scales, metres, top + height + 30.0);
    out += "</g>\n";
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

    // Labels where they overlap nothing: nodes' names first, then the known discharges, then
    // the pipes' names; none covers a node.
    const bool node_labels = labels == Labels::nodes || labels == Labels::all;
    const bool pipe_labels = labels == Labels::pipes || labels == Labels::all;
    std::vector<std::optional<Point>> node_label(network.nodes.size());
    std::vector<std::optional<Point>> discharge_label(network.nodes.size());
    std::vector<std::optional<Point>> pipe_label(network.pipes.size());
    if (node_labels || pipe_labels) {
        // Half the side of a node's shape: reservoirs' squares are larger than the circles.
        const auto half = [&](std::size_t k) {
            return network.nodes[k].known_head ? 1.3 * radius : radius;
        };
        std::vector<Box> obstacles;
        for (std::size_t k = 0; k < network.nodes.size(); ++k)
            obstacles.push_back({screen[k].x - half(k), screen[k].y - half(k),
                                 screen[k].x + half(k), screen[k].y + half(k)});
        // Labels keep clear of the valves' symbols and types, which are always drawn.
        for (const PlotPipe& pipe : network.pipes) {
            if (!pipe.valve) continue;
            const Point a = screen[static_cast<std::size_t>(pipe.start - 1)];
            const Point b = screen[static_cast<std::size_t>(pipe.end - 1)];
            const Point middle{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0};
            const Point kind = valve_kind_centre(a, b);
            const double wide = 0.35 * kind_font_size * static_cast<double>(pipe.valve->size());
            // The square inside the symbol: its own name, beside it, stays clear of that.
            const double inner = 0.75 * valve_reach;
            obstacles.push_back(
                {middle.x - inner, middle.y - inner, middle.x + inner, middle.y + inner});
            obstacles.push_back({kind.x - wide, kind.y - kind_font_size / 2.0, kind.x + wide,
                                 kind.y + kind_font_size / 2.0});
        }
        std::vector<Box> boxes;
        std::vector<std::optional<Point>*> slots;
        const auto offer = [&](std::optional<Point>& slot, Point at, const std::string& text) {
            boxes.push_back(label_box(at, text));
            slots.push_back(&slot);
            slot = at;
        };
        if (node_labels) {
            for (std::size_t k = 0; k < network.nodes.size(); ++k) {
                const PlotNode& node = network.nodes[k];
                offer(node_label[k], {screen[k].x + half(k) + 2.0, screen[k].y + half(k) + 10.0},
                      node.id ? *node.id : std::to_string(node.node));
            }
            for (std::size_t k = 0; k < network.nodes.size(); ++k) {
                if (network.nodes[k].known_discharge == 0.0f) continue;
                const Point far = known_discharge_far(screen[k], radius);
                offer(discharge_label[k], {far.x + 3.0, far.y - 3.0},
                      known_discharge_text(network.nodes[k]));
            }
        }
        if (pipe_labels) {
            for (std::size_t e = 0; e < network.pipes.size(); ++e) {
                const PlotPipe& pipe = network.pipes[e];
                const Point a = screen[static_cast<std::size_t>(pipe.start - 1)];
                const Point b = screen[static_cast<std::size_t>(pipe.end - 1)];
                const std::string name = pipe.id ? *pipe.id : std::to_string(pipe.pipe);
                offer(pipe_label[e], pipe_label_start(pipe, a, b, scales, name), name);
            }
        }
        const std::vector<bool> kept = place_labels(boxes, obstacles);
        for (std::size_t i = 0; i < kept.size(); ++i)
            if (!kept[i]) slots[i]->reset();
    }

    // The drawing in one group, which the HTML page zooms and pans, clipped to its area so that
    // a zoomed drawing stays off the legend.
    out += "<clipPath id=\"drawing-area\"><rect x=\"0\" y=\"38\" width=\"850\" height=\"";
    coordinate(out, network_height - 38.0);
    out += "\"/></clipPath>\n<g clip-path=\"url(#drawing-area)\"><g class=\"drawing\">\n";
    // The width and colour as attributes, so that a pipe's own override them; a style sheet
    // rule would override every pipe's.
    out += "<g class=\"pipes\" stroke-width=\"2\" stroke=\"#4d4d4d\">\n";
    for (std::size_t e = 0; e < network.pipes.size(); ++e) {
        const PlotPipe& pipe = network.pipes[e];
        write_pipe(out, pipe, screen[static_cast<std::size_t>(pipe.start - 1)],
                   screen[static_cast<std::size_t>(pipe.end - 1)], scales, pipe_label[e]);
    }
    out += "</g>\n<g class=\"nodes\">\n";
    for (std::size_t k = 0; k < network.nodes.size(); ++k)
        write_node(out, network.nodes[k], screen[k], radius, scales, node_label[k]);
    out += "</g>\n";
    for (std::size_t k = 0; k < network.nodes.size(); ++k)
        if (network.nodes[k].known_discharge != 0.0f)
            write_known_discharge(out, network.nodes[k], screen[k], radius, discharge_label[k]);
    // The scale bar zooms with the drawing, so that it stays true.
    write_scale_bar(out, view, network.program);
    out += "</g></g>\n";
    // Over the drawing, which may reach up to it.
    write_banner(out, network, network.analysed);
    if (network.has_results)
        write_legend(out, scales, network.program == Program::turbnet || network.inp);
    if (settings.band) write_band(out, *settings.band);
    out += "</svg>\n";
    return out;
}

} // namespace pipenet::plot
