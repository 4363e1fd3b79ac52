// The content of a .inp network file that matters to a steady state of pipes: plain records, as
// written in the file (file units, IDs as strings), each with the line it came from.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pipenet::exchange {

struct InpJunction {
    std::string id;
    double elevation = 0.0;
    double base_demand = 0.0;
    std::string pattern; // empty: the default pattern
    std::int32_t line = 0;
};

struct InpReservoir {
    std::string id;
    double head = 0.0;
    std::string pattern;
    std::int32_t line = 0;
};

struct InpTank {
    std::string id;
    double bottom_elevation = 0.0;
    double initial_level = 0.0;
    std::int32_t line = 0;
};

enum class LinkStatus : std::uint8_t { open, closed, check_valve };

struct InpPipe {
    std::string id;
    std::string start_node;
    std::string end_node;
    double length = 0.0;
    double diameter = 0.0;
    double roughness = 0.0;
    double minor_loss = 0.0;
    LinkStatus status = LinkStatus::open;
    std::int32_t line = 0;
};

// A pump or a valve: only what a refusal names.
struct InpOtherLink {
    std::string id;
    std::string start_node;
    std::string end_node;
    std::int32_t line = 0;
};

// A pump: its curve (or power), speed and speed pattern, as written.
struct InpPump : InpOtherLink {
    std::string curve;   // HEAD: a curve of [CURVES]; empty when none
    double power = 0.0;  // POWER: kW, or hp in US units; 0 when none
    double speed = 1.0;  // SPEED
    std::string pattern; // PATTERN: multiplies the speed
};

// A curve of [CURVES]: its points in the order of the file.
struct InpCurve {
    std::string id;
    std::vector<std::pair<double, double>> points; // (x, y)
    std::int32_t line = 0;                         // the first line of the curve
};

// A valve as the file gives it: `setting` in the file's pressure or flow units, or K (TCV); a
// GPV names its head-loss curve instead.
struct InpValve {
    std::string id;
    std::string start_node;
    std::string end_node;
    double diameter = 0.0;
    std::string type; // upper case: PRV, PSV, PBV, FCV, TCV, GPV (others are refused)
    double setting = 0.0;
    std::string curve; // GPV
    double minor_loss = 0.0;
    std::int32_t line = 0;
};

// A simple control of [CONTROLS], its words as written.
struct InpControl {
    std::vector<std::string> words;
    std::int32_t line = 0;
};

// A rule of [RULES]: its ID and the line of its RULE word.
struct InpRule {
    std::string id;
    std::int32_t line = 0;
};

struct InpDemand {
    std::string junction;
    double base_demand = 0.0;
    std::string pattern;
    std::int32_t line = 0;
};

struct InpPattern {
    std::string id;
    std::vector<double> multipliers;
    std::int32_t line = 0; // the first line of the pattern
};

struct InpStatus {
    std::string link;
    LinkStatus status = LinkStatus::open;
    bool setting = false; // a numeric setting (pumps and valves): no effect on a pipe
    double value = 0.0;   // the setting, when there is one
    std::int32_t line = 0;
};

struct InpEmitter {
    std::string junction;
    double coefficient = 0.0;
    std::int32_t line = 0;
};

struct InpCoordinate {
    std::string node;
    double x = 0.0;
    double y = 0.0;
    std::int32_t line = 0;
};

enum class FlowUnits : std::uint8_t { cfs, gpm, mgd, imgd, afd, lps, lpm, mld, cmh, cmd, cms };
enum class HeadLoss : std::uint8_t { hazen_williams, darcy_weisbach, chezy_manning };

struct InpOptions {
    FlowUnits units = FlowUnits::gpm;
    HeadLoss headloss = HeadLoss::hazen_williams;
    std::int32_t headloss_line = 0;
    std::string default_pattern; // the Pattern option; empty when not given
    std::int32_t default_pattern_line = 0;
    double demand_multiplier = 1.0;
    double viscosity = 1.0; // relative to water at 20 C
    // The Pressure option in upper case (empty: the unit system's own, psi or metres).
    std::string pressure;
    std::int32_t pressure_line = 0;
    // [TIMES]: the period of a pattern's multipliers and the time of day of the first, in s.
    std::int64_t pattern_step = 3600;
    std::int64_t pattern_start = 0;
    // The time of day at the start, s after midnight (Start ClockTime).
    std::int64_t start_clocktime = 0;
};

struct InpNetwork {
    std::vector<std::string> title;
    std::vector<InpJunction> junctions;
    std::vector<InpReservoir> reservoirs;
    std::vector<InpTank> tanks;
    std::vector<InpPipe> pipes;
    std::vector<InpPump> pumps;
    std::vector<InpValve> valves;
    std::vector<InpDemand> demands;
    std::vector<InpPattern> patterns;
    std::vector<InpCurve> curves;
    std::vector<InpStatus> statuses;
    std::vector<InpEmitter> emitters;
    std::vector<InpCoordinate> coordinates;
    InpOptions options;
    std::int32_t controls_line = 0; // first line of [CONTROLS] or [RULES] content, 0: none
    std::vector<InpControl> controls;
    std::vector<InpRule> rules;
};

} // namespace pipenet::exchange
