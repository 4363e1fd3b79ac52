// pipenet export-inp: writes a lamnet or turbnet input as a .inp file.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "files/temporary_files.hpp"
#include "report/record_io.hpp"

namespace pipenet::cli {

struct ExportOptions {
    std::string file;
    std::string output;
    std::string program;     // "lamnet", "turbnet" or empty: from the file's name
    std::string length_unit; // "cm", "m" or empty (cm): the unit of a lamnet input's lengths
};

// Registers the subcommand and its options on the program's command line.
CLI::App& add_export_command(CLI::App& app, ExportOptions& options);

// Exports the file, every message on `err`. Returns the exit status: 0 written, 1 the file's
// records cannot be exported, 2 could not run (an unreadable file, an unknown program, an
// output that cannot be written).
int run_export(const ExportOptions& options, ByteSink& err, files::TemporaryFiles& temporaries);

} // namespace pipenet::cli
