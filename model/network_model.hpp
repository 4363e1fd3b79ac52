// pipenet's own network model: nodes and links by ID with their values in double precision, the
// head-loss law, the units, and for every value the place in the file it was read from. Readers
// fill it (model/read_records.hpp: the programs' fixed-column files); analysis/ solves it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/valve.hpp"

namespace pipenet::model {

// Where a value was read: 1-based line and columns of a file; line 0 when it was not read from a
// file (a default, or a value the reader derived). A place sits beside every value of the model,
// so it takes 8 bytes: a column past 65,535 is held as 65,535.
struct Place {
    std::int32_t line = 0;
    std::uint16_t first_column = 0;
    std::uint16_t last_column = 0;

    constexpr Place() = default;
    constexpr Place(std::int32_t line_number, std::int32_t first, std::int32_t last)
        : line(line_number), first_column(column(first)), last_column(column(last)) {}
    bool known() const { return line > 0; }

    static constexpr std::int32_t last_held_column = 65535;

private:
    static constexpr std::uint16_t column(std::int32_t c) {
        return static_cast<std::uint16_t>(c < 0 ? 0 : c > last_held_column ? last_held_column : c);
    }
};

// A value and where it came from.
struct Read {
    double value = 0.0;
    Place place;
};

struct Node {
    std::string id;
    Read x, y;
    Read elevation;
    // Supplied to the network at the node (positive) or drawn off (negative), in the discharge
    // unit: the sign of the programs' files.
    Read demand;
    std::optional<Read> fixed_head; // a known head: a reservoir, a tank, a boundary
    Place record;                   // the node's own record
};

enum class LinkStatus : std::uint8_t { open, closed };

enum class LinkKind : std::uint8_t { pipe, pump, valve };

struct Link {
    std::string id;
    std::int32_t start = 0; // index into Model::nodes
    std::int32_t end = 0;
    Read length;
    Read diameter;
    Read roughness;  // C (Hazen-Williams), height in the length unit (Darcy-Weisbach), n (Manning)
    Read minor_loss; // K of an added loss K * v^2/(2g); 0 for the programs' files
    LinkStatus status = LinkStatus::open;
    // An open pipe that lets water through from start to end only, and closes against reverse
    // flow.
    bool check_valve = false;
    LinkKind kind = LinkKind::pipe;
    Place record;
};

// A point of a pump's head curve: the head added (length unit) at a discharge (discharge unit).
struct CurvePoint {
    double flow = 0.0;
    double head = 0.0;
};

// What drives a pump link (LinkKind::pump); its length, diameter and roughness are unused.
struct Pump {
    std::int32_t link = 0; // index into Model::links
    // The head curve in the order of the file; empty for a pump of constant power.
    std::vector<CurvePoint> curve;
    std::string curve_id;
    double power = 0.0; // W, when there is no curve
    double speed = 1.0; // relative to the curve's; the link is closed at 0
    Place place;        // the pump's record, or the [STATUS] line that set its speed
};

// The law that ties a link's discharge to the head difference between its ends.
enum class HeadLossLaw : std::uint8_t {
    // Q = k * pi/128 * D^4/L * dh, k = rho*g/mu of the network (laminar, Hagen-Poiseuille).
    laminar,
    // Q = 0.2784 * C * D^2.63 / L^0.54 * |dh|^0.54 * sign(dh): the programs' Hazen-Williams form.
    hazen_williams_programs,
    // dh = 10.667 * C^-1.852 * D^-4.871 * L * |Q|^1.852 * sign(Q): the .inp files' form.
    hazen_williams_inp,
    // dh = f * L/D * v^2/(2g), f from the Reynolds number and the roughness height (in the
    // length unit) relative to D: 64/Re below 2000, Swamee-Jain above 4000, a cubic between.
    darcy_weisbach,
    // dh = (n * Q / (k * A * R^(2/3)))^2 * L, n = the roughness (Manning's n), R = D/4,
    // k = manning_factor.
    chezy_manning,
};

// Gravitational acceleration, m/s^2, of the .inp files' velocity-head laws (32.2 ft/s^2).
inline constexpr double inp_gravity = 32.2 * 0.3048;
// k of Manning's law: 1.49 ft^(1/3)/s, in m^(1/3)/s. The reference solver applies it to files in
// SI units too (k = 1 there would give 0.55 % more head loss than it does).
inline constexpr double manning_factor = 1.0027467336135;

// Units of the values, as text for messages; any consistent set works for the laminar law.
struct Units {
    std::string length = "m";
    std::string discharge = "m3/s";
    // The units the file gave its values in, converted to the above when read ("" when the
    // file's values are taken as they are).
    std::string file;
};

struct Model {
    std::string file;
    HeadLossLaw law = HeadLossLaw::hazen_williams_programs;
    Units units;
    Read rho_g_over_mu; // laminar law: density * gravity / viscosity, in 1/(length * time)
    // Darcy-Weisbach: the kinematic viscosity, m^2/s.
    double viscosity = 0.0;
    std::vector<Node> nodes;
    std::vector<Link> links;
    std::vector<Pump> pumps;
    std::vector<Valve> valves; // each names its link (of kind valve)
    // The file gives elevations (pressures can be worked out); the programs' files do not.
    bool elevations = false;
    std::int32_t tanks = 0; // nodes whose fixed head is a tank's level at `time`
    std::int64_t time = 0;  // s after the start: the period whose multipliers apply
};

// The name of a law in results: "laminar", "hazen-williams-programs", "hazen-williams-inp",
// "darcy-weisbach", "chezy-manning".
const char* law_name(HeadLossLaw law);

// The text "file:line:first-last" of a place ("file" alone when the place is not known).
std::string place_text(const std::string& file, const Place& place);

} // namespace pipenet::model
