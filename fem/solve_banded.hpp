// Gaussian elimination without pivoting inside the band storage, then back substitution.
#pragma once

#include "network/model.hpp"
#include "report/record_io.hpp"

namespace pipenet {

inline constexpr float lamnet_pivot_threshold = 1.0e-6f;
inline constexpr float turbnet_pivot_threshold = 1.0e-10f;

// Solves K h = rhs for the symmetric K held in net.band (upper half, after the known heads are
// imposed) and replaces rhs by h. Every division, product and difference is rounded to float
// where it is stored.
//
// io: in-out, the singularity line. net: in-out, band (reduced rows on exit), solver_work
// (scratch), half_band (set to 0 on a singular row); in, equation_count >= 1.
// rhs: in-out, right-hand side on entry, solution on exit.
// threshold: in, a pivot whose magnitude is at most this (or is NaN) is singular.
// floating_row: in, the first row at which exact elimination meets a zero pivot because a
// group of nodes is joined to no known head (0: none); the solver stops there even when the
// rounding residue of that pivot lies above the threshold.
//
// On a singular row r the line "***** singularity in row" r is written, half_band is set to 0,
// and band and rhs are left partly reduced.
// Kept out of line even under link-time optimisation: the run-cost check counts the
// multiply-adds inside this routine by its name.
[[gnu::noinline]] void solve_banded(RecordIo& io, Network& net, Vec1<float> rhs, float threshold,
                                    std::int32_t floating_row);

// The first row at which exact elimination of the network's system meets a zero pivot for lack
// of a known head: over every connected group of nodes 1 ... node_count (pipes as links) that
// holds no known-head node, the lowest of the groups' highest node numbers; 0 when there is no
// such group. net: in; every pipe end and boundary node lies in 1 ... node_count.
std::int32_t first_floating_row(const Network& net);

} // namespace pipenet
