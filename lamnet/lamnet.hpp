// The linear analysis: laminar flow in a pipe network, one banded solve.
#pragma once

#include "report/record_io.hpp"

namespace pipenet {

// Runs one analysis of "input-lin.dat" in the current directory and writes its report.
// Returns the exit status: 0 when the run reaches its end (data errors included), the failure
// number when the record layer ends it.
int run_lamnet(RecordIo& io);

} // namespace pipenet
