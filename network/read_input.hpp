// Reads the network from its fixed-column input file and echoes every record to the report.
#pragma once

#include "network/model.hpp"
#include "report/record_io.hpp"

namespace pipenet {

enum class Program : std::uint8_t { lamnet, turbnet };

// The input file each program reads from the current directory.
inline constexpr std::string_view input_file_name(Program program) {
    return program == Program::lamnet ? "input-lin.dat" : "input-nonlin.dat";
}

// Opens the program's input file on stream 2, writes the banner and the input echo, and fills
// the network: counts, header values, coordinates, connectivity, diameters, known discharges,
// known heads and the boundary list. The half-bandwidth is worked out and echoed between the
// element and the known-discharge records. A record whose node or element number lies outside 1 ...
// capacity is echoed and not stored; the first number outside 1 ... its count of each kind is noted
// in net. io: in-out. program: in, which header, banner and node echo. net: out.
void read_input(RecordIo& io, Program program, Network& net);

} // namespace pipenet
