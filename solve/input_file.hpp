// Which program's an input file is.
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

// Why a .inp file is refused by a command that reads the programs' fixed-column files.
inline constexpr std::string_view inp_for_records_reason =
    "this is a .inp file, not a lamnet or turbnet input file: pipenet solve, check and plot read "
    ".inp files as they are, and import-inp converts one";

// True when the file is named as a .inp file or its text reads as one.
bool is_inp(std::string_view path, std::string_view text = {});

// For a command that reads only the programs' files by name (export-inp, renumber): why FILE
// cannot be read, given the program `program_of_file` found for it; empty when it can.
std::string records_file_refusal(const std::optional<Program>& program, std::string_view path);

// Why a file's program is unknown: neither its name nor its header tells.
inline constexpr std::string_view unknown_program_reason =
    "cannot tell which program's file this is: its first line is neither lamnet's header nor "
    "turbnet's; give --program";

} // namespace pipenet::solve
