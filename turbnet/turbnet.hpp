// The nonlinear analysis: turbulent flow in a pipe network, a first linear solution refined by
// Newton-Raphson corrections.
#pragma once

#include "network/model.hpp"
#include "report/record_io.hpp"

namespace pipenet {

// Runs one analysis of "input-nonlin.dat" in the current directory, reading the print flag from
// the console after the first solution, and writes its report. Returns the exit status: 0 when
// the run reaches its end (data errors included), the failure number when the record layer
// ends it.
int run_turbnet(RecordIo& io);

// One Newton-Raphson correction. On entry net.band holds the secant conductances at the current
// heads with the known heads imposed, and net.rhs the residual of the pass; the tangent
// conductances are 0.54 times the secant ones, so the correction solves the band against the
// residual / 0.54 (each entry rounded to float). On exit net.rhs holds the correction, or
// half_band is 0 after a singular row. floating_row: as for solve_banded.
void newton_correction(RecordIo& io, Network& net, std::int32_t floating_row);

} // namespace pipenet
