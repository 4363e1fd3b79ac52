// The files pipenet's commands read and write: which program's an input file is, its whole
// text, and whole output files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "network/program_header.hpp"
#include "network/read_input.hpp"

namespace pipenet::solve {

// The program named by `program` ("lamnet" or "turbnet"), or else the one whose input file
// `path` is named after; none when neither tells.
std::optional<Program> program_of_file(std::string_view program, std::string_view path);

// As above, and else the program whose header begins `text`, the file's contents.
std::optional<Program> program_of_file(std::string_view program, std::string_view path,
                                       std::string_view text);

// Why a file's program is unknown: neither its name nor its header tells.
inline constexpr std::string_view unknown_program_reason =
    "cannot tell which program's file this is: its first line is neither lamnet's header nor "
    "turbnet's; give --program";

// Reads a whole file. Returns false with `reason` set when it cannot ("no such file" when it
// does not exist).
bool read_input_file(const std::string& path, std::string& text, std::string& reason);

// Writes `text` as the whole file `path` ("-": standard output). A regular file is replaced only
// once the new text is complete on disk, so that a full disk or an interrupted run never leaves
// it cut short, even when it is the file the text was made from. Returns false with `reason`
// set when the file cannot be written.
bool write_output_file(const std::string& path, std::string_view text, std::string& reason);

} // namespace pipenet::solve
