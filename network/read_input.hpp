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

// How the reader stores one record it has read, for readers of the same records from elsewhere:
// a number outside 1 ... its count is noted in net as the first of its kind, a number outside
// the storage is not stored. finish_elements comes after the last pipe record and before the
// first known-discharge record: it sets the equation count, clears the known discharges and
// works out the half-bandwidth. store_head_record: i is the record's place, 1 ... count.
void store_node_record(Network& net, std::int32_t n, float x, float y);
void store_element_record(Network& net, std::int32_t e, std::int32_t start, std::int32_t end,
                          float diameter);
void finish_elements(Network& net);
void store_discharge_record(Network& net, std::int32_t n, float discharge);
void store_head_record(Network& net, std::int32_t i, std::int32_t n, float head);

} // namespace pipenet
