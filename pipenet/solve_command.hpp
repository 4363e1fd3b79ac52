// pipenet solve: analyses networks on the engine in-process and writes their results at full
// precision, as JSON, as CSV, or as the programs' own reports.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "files/temporary_files.hpp"
#include "report/record_io.hpp"

namespace pipenet::cli {

struct SolveOptions {
    std::vector<std::string> files;
    std::string program; // "lamnet", "turbnet" or empty: from each file's name
    std::string json;    // a path, "-" for standard output, or empty
    std::string csv;     // a folder, or empty
    std::string report;  // a path, "-" for standard output, or empty
    std::string map;     // a map of numbers to IDs (import or renumbering), or empty
    int print_flag = 0;
    unsigned jobs = 0; // 0: one per processor
    bool renumber = false;
    std::string arithmetic = "double"; // "double" or "programs"
    double flow_tolerance = 1.0e-6;    // double precision: discharge unit
    double head_tolerance = 1.0e-4;    // double precision: length unit
    int max_passes = 50;
    bool strict = false;       // a warning makes the exit status 1
    std::string time = "0:00"; // .inp files: the period analysed, H:MM after the start
    bool progress = false;     // set by the caller: standard error is a terminal
};

// Registers the subcommand and its options on the program's command line.
CLI::App& add_solve_command(CLI::App& app, SolveOptions& options);

// Runs the analyses. Returns the exit status: 0 every file solved (and, with a map, every node
// and pipe named by it; with strict, no warning), 1 a file not solved or not fully named (or a
// warning, with strict), 2 could not run (an unreadable map, an output that cannot be written).
int run_solve(const SolveOptions& options, ByteSink& err, files::TemporaryFiles& temporaries);

} // namespace pipenet::cli
