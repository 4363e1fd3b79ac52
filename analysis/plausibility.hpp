// Findings about values that a network of water mains cannot plausibly have: before a solve from
// the given values, after it from the results.
#pragma once

#include <vector>

#include "analysis/analyse.hpp"
#include "model/findings.hpp"
#include "model/network_model.hpp"

namespace pipenet::analysis {

// Velocity above which a water main's result is taken for a unit typed wrong (m/s).
inline constexpr double implausible_velocity = 10.0;
// The laminar law holds below this Reynolds number.
inline constexpr double laminar_reynolds_limit = 2000.0;
// A discharge this many times the median magnitude of the others is flagged.
inline constexpr double discharge_outlier_ratio = 100.0;

// From the given values alone: every given discharge an inflow, one discharge far above the rest.
std::vector<model::Finding> input_findings(const model::Model& model);

// From a result with heads: velocities (turbulent), Reynolds numbers (laminar), heads far below
// every known head.
std::vector<model::Finding> result_findings(const model::Model& model, const Result& result);

} // namespace pipenet::analysis
