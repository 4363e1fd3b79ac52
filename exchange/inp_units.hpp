// The units of a .inp file and their conversion to SI (m, m3/s): the flow units decide the
// whole system (US: feet and inches; SI: metres and millimetres).
#pragma once

#include <string_view>

#include "exchange/inp_model.hpp"

namespace pipenet::exchange {

// A unit conversion as a product and a quotient, so that decimal unit sizes convert exactly
// where they can (a value in L/s divided by 1000, not multiplied by a rounded 0.001).
struct Conversion {
    double multiply = 1.0;
    double divide = 1.0;
    double operator()(double value) const { return value * multiply / divide; }
};

constexpr bool us_units(FlowUnits units) {
    return units == FlowUnits::cfs || units == FlowUnits::gpm || units == FlowUnits::mgd ||
           units == FlowUnits::imgd || units == FlowUnits::afd;
}

// Flows of the file to m3/s.
constexpr Conversion flow_conversion(FlowUnits units) {
    constexpr double cubic_foot = 0.028316846592;
    constexpr double us_gallon = 0.003785411784;
    constexpr double imperial_gallon = 0.00454609;
    constexpr double acre_foot = 1233.48183754752;
    constexpr double day = 86400.0;
    switch (units) {
    case FlowUnits::cfs:
        return {cubic_foot, 1.0};
    case FlowUnits::gpm:
        return {us_gallon, 60.0};
    case FlowUnits::mgd:
        return {us_gallon * 1.0e6, day};
    case FlowUnits::imgd:
        return {imperial_gallon * 1.0e6, day};
    case FlowUnits::afd:
        return {acre_foot, day};
    case FlowUnits::lps:
        return {1.0, 1000.0};
    case FlowUnits::lpm:
        return {1.0, 60000.0};
    case FlowUnits::mld:
        return {1000.0, day};
    case FlowUnits::cmh:
        return {1.0, 3600.0};
    case FlowUnits::cmd:
        return {1.0, day};
    case FlowUnits::cms:
        return {1.0, 1.0};
    }
    return {};
}

// Lengths, heads, elevations and coordinates of the file to m.
constexpr Conversion length_conversion(FlowUnits units) {
    return us_units(units) ? Conversion{0.3048, 1.0} : Conversion{};
}

// Pipe diameters of the file to m.
constexpr Conversion diameter_conversion(FlowUnits units) {
    return us_units(units) ? Conversion{0.0254, 1.0} : Conversion{1.0, 1000.0};
}

// The name of the flow units as the file writes them.
constexpr std::string_view flow_units_name(FlowUnits units) {
    constexpr std::string_view names[] = {"CFS", "GPM", "MGD", "IMGD", "AFD", "LPS",
                                          "LPM", "MLD", "CMH", "CMD",  "CMS"};
    return names[static_cast<int>(units)];
}

} // namespace pipenet::exchange
