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

} // namespace pipenet
