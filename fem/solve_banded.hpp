// Gaussian elimination without pivoting inside the band storage, then back substitution.
#pragma once

#include "network/model.hpp"

namespace pipenet {

inline constexpr float lamnet_pivot_threshold = 1.0e-6f;
inline constexpr float turbnet_pivot_threshold = 1.0e-10f;

// Solves K h = rhs for the symmetric K held in net.band (upper half, after the known heads are
// imposed) and replaces rhs by h. Every division, product and difference is rounded to float
// where it is stored.
//
// net: in-out, band (reduced rows on exit), solver_work (scratch); in, equation_count >= 1,
// half_band.
// rhs: in-out, right-hand side on entry, solution on exit.
// threshold: in, a pivot whose magnitude is at most this (or is NaN) is singular.
// floating_row: in, the first row at which exact elimination meets a zero pivot because a
// group of nodes is joined to no known head (0: none); the solver stops there even when the
// rounding residue of that pivot lies above the threshold.
//
// Returns 0, or the first singular row r; band and rhs are then left partly reduced.
// Kept out of line even under link-time optimisation: the run-cost check counts the
// multiply-adds inside this routine by its name.
[[gnu::noinline]] std::int32_t solve_banded(Network& net, Vec1<float> rhs, float threshold,
                                            std::int32_t floating_row);

} // namespace pipenet
