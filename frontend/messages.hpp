// Each program's wording of the faults the analysis returns.
#pragma once

#include "network/faults.hpp"
#include "network/read_input.hpp"
#include "report/record_io.hpp"

namespace pipenet {

// Writes the message of `fault` as `program` words it: the number of the record, pipe or node
// it concerns in its field. fault: in, not none.
void write_fault(RecordIo& io, Program program, const Fault& fault);

} // namespace pipenet
