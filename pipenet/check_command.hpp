// pipenet check: explains input files field by field and reports the mistakes found in them.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "report/record_io.hpp"

namespace pipenet::cli {

struct CheckOptions {
    std::vector<std::string> files;
    std::string program; // "lamnet", "turbnet" or empty: from the file's name or header
    bool explain = false;
    bool json = false;
    bool werror = false;
    bool band = false;   // also print the coefficient matrix's nonzero pattern
    bool colour = false; // set by the caller from the terminal and NO_COLOR
};

// Registers the subcommand and its options on the program's command line.
CLI::App& add_check_command(CLI::App& app, CheckOptions& options);

// Runs the check. Returns the exit status: 0 no error, 1 an error found, 2 could not run.
int run_check(const CheckOptions& options, ByteSink& out, ByteSink& err);

} // namespace pipenet::cli
