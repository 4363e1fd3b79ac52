// pipenet renumber: numbers the nodes of an input file again so that its half-bandwidth is
// small, and writes the file in the same layouts with a map of old to new numbers.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "files/temporary_files.hpp"
#include "report/record_io.hpp"

namespace pipenet::cli {

struct RenumberOptions {
    std::string file;
    std::string output;
    std::string map;     // empty: no map written
    std::string program; // "lamnet", "turbnet" or empty: from the file's name
};

// Registers the subcommand and its options on the program's command line.
CLI::App& add_renumber_command(CLI::App& app, RenumberOptions& options);

// Renumbers the file. Returns the exit status: 0 written (a network that still exceeds a
// capacity of the programs is written with a warning), 1 the file's records are refused, 2 could
// not run (an unreadable file, an unknown program, an output that cannot be written).
int run_renumber(const RenumberOptions& options, ByteSink& out, ByteSink& err,
                 files::TemporaryFiles& temporaries);

} // namespace pipenet::cli
