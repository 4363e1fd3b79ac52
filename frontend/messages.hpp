// Each program's wording of the faults the analysis returns.
#pragma once

#include <cstdint>
#include <string>

#include "network/faults.hpp"
#include "network/read_input.hpp"
#include "report/record_io.hpp"

namespace pipenet {

// Writes the message of `fault` as `program` words it: the number of the record, pipe or node
// it concerns in its field. fault: in, not none.
void write_fault(RecordIo& io, Program program, const Fault& fault);

// The same message as one line of text, without the report's blank lines and margins, for
// tools that show it beside results: "**** zero length for element :     3 ****".
std::string fault_text(Program program, const Fault& fault);

// The report's line for a singular analysis: "***** singularity in row       4".
std::string singular_text(std::int32_t row);

} // namespace pipenet
