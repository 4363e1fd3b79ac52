// pipenet plot: draws a network to scale with its results, as SVG or a self-contained HTML page.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "files/temporary_files.hpp"
#include "report/record_io.hpp"

namespace pipenet::cli {

struct PlotOptions {
    std::string file;    // empty: the one input file in the current folder
    std::string output;  // ends in .svg or .html
    std::string program; // "lamnet", "turbnet" or empty: from the file's name
    std::string labels = "auto";
    std::string colour = "head"; // or "pressure" (.inp files)
    std::string time = "0:00";   // .inp files: the period analysed
    bool no_results = false;
    bool band = false;
    bool renumber = false;
};

// Registers the subcommand and its options on the program's command line.
CLI::App& add_plot_command(CLI::App& app, PlotOptions& options);

// Draws the picture. Returns the exit status: 0 written, 2 could not (an unreadable file, a
// network without node records to draw, an output that cannot be written).
int run_plot(const PlotOptions& options, ByteSink& err, files::TemporaryFiles& temporaries);

} // namespace pipenet::cli
