// Entry functions of the fuzz targets. Each takes one input of arbitrary bytes, runs the code
// under test in-process on it, and aborts when the run breaks one of the rules every run must
// keep: it ends in a complete report, in a framed data-error message, or in one failure report
// of the record layer with its exit status, and nothing else.
//
// The libFuzzer targets and the replay programs share these functions, so a finding replays
// exactly as it was found. The two programs' cores cannot be linked into one binary, so each
// function lives in a file of its own and each target links only what it runs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pipenet::fuzz {

// Reads records under one of the input layouts until the data runs out.
//   byte 0: the layout (index into the input layouts, modulo their number); with the print-flag
//           layout the records come from the console, otherwise from the input file;
//   byte 1: how many times the layout's values are read by one reader (1 ... 8), so that the
//           layout starts again on the next record;
//   the rest: the bytes of the stream.
void read_records(const std::uint8_t* data, std::size_t size);

// A whole lamnet run with the bytes as "input-lin.dat" and an empty console.
void run_lamnet_on(const std::uint8_t* data, std::size_t size);

// A whole turbnet run.
//   byte 0: n, the length of the console input;
//   the next n bytes (fewer when the input is shorter): the console input (the print flag);
//   the rest: "input-nonlin.dat". Before the run, the iteration limit in columns 41-50 of the
//   first line is replaced by the last digit of n, so that no run makes more than nine
//   correction passes; commas in columns 1-40 of that line become blanks so that the limit
//   stays in its columns.
void run_turbnet_on(const std::uint8_t* data, std::size_t size);

// The analysis as a library (NetworkAnalysis), and the same through the C interface.
//   byte 0: bit 0, the flow (0 laminar, 1 turbulent); (byte 0 / 2) % 10, the iteration limit
//           put into a turbulent header as in run_turbnet_on;
//   byte 1: the number of changes (modulo 8), each taking the next 6 bytes: the kind (modulo 3:
//           diameter, known discharge, known head), the pipe or node number minus 8, and the
//           4 bytes of the new value as a float;
//   the rest: the text of the input file.
// The network is read and analysed, analysed again (the same outcome and bits), then changed
// and analysed again; every outcome is checked against its results.
void analyse_network_on(const std::uint8_t* data, std::size_t size);
void drive_c_interface_on(const std::uint8_t* data, std::size_t size);

// One file as pipenet solve takes it: the analysis, the JSON document and the CSV rows.
//   byte 0: bit 0, the flow (0 laminar, 1 turbulent); bit 1, renumber; bit 2, the report too;
//           (byte 0 / 8) % 10, the iteration limit put into a turbulent header as above;
//   the rest: the text of the input file.
// Every written number must read back to the float it came from, and every result must be
// in the document and in the tables.
void solve_file_on(const std::uint8_t* data, std::size_t size);

// The input check of pipenet on the bytes as a file, shown as text or JSON.
//   byte 0: bit 0 turbnet (else lamnet), bit 1 --explain, bit 2 --json, bit 3 colours,
//           bit 4 --werror;
//   the rest: the file.
// Its findings must stay within their bound and agree with their counts, point at lines and
// columns the file has, and the output must end its last line (text) or parse (JSON).
void check_input_on(const std::uint8_t* data, std::size_t size);

// Reads the bytes as a .inp network file and, when that succeeds, imports it. Checks that every
// imported network writes as a turbnet input that reads back to the same records, numbered
// 1 ... count, and that it exports again as a .inp file.
void read_inp_file(const std::uint8_t* data, std::size_t size);

} // namespace pipenet::fuzz
