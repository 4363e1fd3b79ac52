// Each program's report of one network: the echo of the input as it is read, then the outcome
// and the results in the program's words. lamnet and turbnet write it to standard output; pipenet
// writes the same bytes wherever it is asked to.
#pragma once

#include "engine/analysis.hpp"
#include "network/faults.hpp"
#include "network/model.hpp"
#include "report/record_io.hpp"

namespace pipenet {

// Reads the laminar network from the input stream of io, analyses it and writes lamnet's report.
// A failure of the record layer ends the run through it (RunEnded).
void report_laminar(RecordIo& io, Network& net, PipeFaults& faults);

// Reads the turbulent network from the input stream of io, makes the first solution, reads the
// print flag from the console stream, runs the passes and writes turbnet's report. A failure of
// the record layer ends the run through it (RunEnded).
void report_turbulent(RecordIo& io, Network& net, TurbulentState& state, PipeFaults& faults);

} // namespace pipenet
