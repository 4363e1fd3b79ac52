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

// Reads the bytes as a .inp network file and, when that succeeds, imports it. Checks that every
// imported network writes as a turbnet input that reads back to the same records, numbered
// 1 ... count, and that it exports again as a .inp file.
void read_inp_file(const std::uint8_t* data, std::size_t size);

} // namespace pipenet::fuzz
