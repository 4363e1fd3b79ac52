#include "pipenet/renumber_command.hpp"

#include <vector>

#include "exchange/capacities.hpp"
#include "files/input_file.hpp"
#include "files/output_file.hpp"
#include "network/renumber.hpp"
#include "solve/input_file.hpp"

namespace pipenet::cli {

namespace {

void say(ByteSink& sink, const std::string& text) {
    std::string line = "pipenet renumber: " + text + '\n';
    sink.write(line.data(), line.size());
}

} // namespace

CLI::App& add_renumber_command(CLI::App& app, RenumberOptions& options) {
    CLI::App* renumber = app.add_subcommand(
        "renumber", "Renumber the nodes of an input file to narrow its half-bandwidth");
    renumber->add_option("FILE", options.file, "The input file of lamnet or turbnet")->required();
    renumber
        ->add_option("-o,--output", options.output,
                     "The renumbered file, in the same layouts ('-': standard output)")
        ->required();
    renumber->add_option("--map", options.map, "Write the map of old to new numbers as CSV")
        ->option_text("MAP");
    renumber
        ->add_option("--program", options.program,
                     "Read the file as this program's (default: from the file's name)")
        ->check(CLI::IsMember({"lamnet", "turbnet"}))
        ->option_text("lamnet|turbnet");
    renumber->footer(
        "Exit status: 0 the output was written (warnings and notes allowed), 1 the input "
        "was refused and nothing was written, 2 a usage error, an unreadable input, an "
        "output that cannot be written, or a file whose program cannot be told.\n");
    return *renumber;
}

int run_renumber(const RenumberOptions& options, ByteSink& out, ByteSink& err,
                 files::TemporaryFiles& temporaries) {
    const std::optional<Program> program = solve::program_of_file(options.program, options.file);
    if (const std::string refusal = solve::records_file_refusal(program, options.file);
        !refusal.empty()) {
        say(err, options.file + ": " + refusal);
        return 2;
    }
    std::string text;
    std::string reason;
    files::FileClaims claims;
    claims.add_input(options.file);
    if (!claims.claim_output(options.output, reason) ||
        (!options.map.empty() && !claims.claim_output(options.map, reason))) {
        say(err, reason);
        return 2;
    }
    if (!files::read_input_file(options.file, text, reason)) {
        say(err, options.file + ": cannot read the file: " + reason);
        return 2;
    }
    if (solve::is_inp("", text)) {
        say(err, options.file + ": " + std::string(solve::inp_for_records_reason));
        return 2;
    }
    RenumberedInput renumbered;
    if (!renumber_input(text, *program, renumbered, reason)) {
        say(err, options.file + ": not renumbered: " + reason);
        return 1;
    }
    if (!files::write_outputs(
            {{options.output, renumbered.text}, {options.map, renumbered.map_csv}}, reason,
            &temporaries)) {
        say(err, reason);
        return 2;
    }

    const std::string figures =
        options.file + ": half-bandwidth " + std::to_string(renumbered.half_band_before) +
        " before renumbering, " + std::to_string(renumbered.half_band_after) + " after" +
        (renumbered.half_band_after == renumbered.half_band_before
             ? " (no ordering tried is narrower: every node keeps its number)\n"
             : "\n");
    // With the file on standard output the figures go to standard error.
    ByteSink& figures_sink = options.output == "-" ? err : out;
    figures_sink.write(figures.data(), figures.size());

    std::vector<exchange::Diagnostic> warnings;
    exchange::note_capacities(renumbered.records, renumbered.half_band_after, warnings);
    for (const exchange::Diagnostic& warning : warnings) {
        const std::string line = exchange::describe(warning, options.file) + '\n';
        err.write(line.data(), line.size());
    }
    return 0;
}

} // namespace pipenet::cli
