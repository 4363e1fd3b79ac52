// Gaussian elimination without pivoting inside the band storage, then back substitution.
#pragma once

#include "network/model.hpp"

namespace pipenet {

inline constexpr float lamnet_pivot_threshold = 1.0e-6f;
inline constexpr float turbnet_pivot_threshold = 1.0e-10f;

// Solves K h = rhs for the symmetric K held in the band (upper half, after the known heads are
// imposed) and replaces rhs by h. Every division, product and difference is rounded to float
// where it is stored.
//
// band: in-out, rows 1 ... n and columns 1 ... b (leading dimension >= n); the reduced rows,
// each divided by its pivot, on exit.
// rhs: in-out, n entries: the right-hand side on entry, the solution on exit.
// n: in, n >= 1. b: in, 1 <= b <= band.columns().
// pattern: in, its factor marks for this band (find_band_pattern).
// work: scratch, factor and pivot_row b + 1 entries, listed b, reduced_in_full n + 1.
// threshold: in, a pivot whose magnitude is at most this (or is NaN) is singular.
// floating_row: in, the first row at which exact elimination meets a zero pivot because a
// group of nodes is joined to no known head (0: none); the solver stops there even when the
// rounding residue of that pivot lies above the threshold.
//
// Returns 0, or the first singular row r; band and rhs are then left partly reduced.
// Kept out of line even under link-time optimisation: the run-cost check counts the
// multiply-adds inside this routine by its name.
[[gnu::noinline]] std::int32_t solve_banded(BandView band, Vec1<float> rhs, std::int32_t n,
                                            std::int32_t b, const BandPattern& pattern,
                                            const SolverWorkspace& work, float threshold,
                                            std::int32_t floating_row);

} // namespace pipenet
