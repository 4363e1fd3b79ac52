// pipenet import-inp: converts a .inp network into a turbnet input of the same network, with a
// map of the .inp IDs to the node and pipe numbers.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "files/temporary_files.hpp"
#include "report/record_io.hpp"

namespace pipenet::cli {

struct ImportOptions {
    std::string file;
    std::string output;
    std::string map; // empty: no map written
};

// Registers the subcommand and its options on the program's command line.
CLI::App& add_import_command(CLI::App& app, ImportOptions& options);

// Imports the network, every message on `err` with its line. Returns the exit status: 0 written
// (warnings and notes allowed), 1 refused (nothing written), 2 could not run (an unreadable
// file, an output that cannot be written).
int run_import(const ImportOptions& options, ByteSink& out, ByteSink& err,
               files::TemporaryFiles& temporaries);

} // namespace pipenet::cli
