#include "pipenet/import_command.hpp"

#include <vector>

#include "exchange/inp_import.hpp"
#include "files/input_file.hpp"
#include "files/output_file.hpp"

namespace pipenet::cli {

namespace {

void say(ByteSink& sink, const std::string& text) {
    std::string line = "pipenet import-inp: " + text + '\n';
    sink.write(line.data(), line.size());
}

std::string counted(std::size_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

} // namespace

CLI::App& add_import_command(CLI::App& app, ImportOptions& options) {
    CLI::App* import_inp = app.add_subcommand(
        "import-inp", "Convert a .inp network into a turbnet input of the same network");
    import_inp->add_option("FILE", options.file, "The .inp file")->required();
    import_inp
        ->add_option("-o,--output", options.output,
                     "The turbnet input to write, e.g. input-nonlin.dat ('-': standard output)")
        ->required();
    import_inp->add_option("--map", options.map, "Write the map of .inp IDs to numbers as CSV")
        ->option_text("MAP");
    import_inp->footer(
        "Exit status: 0 the output was written (warnings and notes allowed), 1 the input "
        "was refused and nothing was written, 2 a usage error, an unreadable input, an "
        "output that cannot be written, or a file whose program cannot be told.\n");
    return *import_inp;
}

int run_import(const ImportOptions& options, ByteSink& out, ByteSink& err,
               files::TemporaryFiles& temporaries) {
    std::string inp;
    std::string reason;
    files::FileClaims claims;
    claims.add_input(options.file);
    if (!claims.claim_output(options.output, reason) ||
        (!options.map.empty() && !claims.claim_output(options.map, reason))) {
        say(err, reason);
        return 2;
    }
    if (!files::read_input_file(options.file, inp, reason)) {
        say(err, options.file + ": cannot read the file: " + reason);
        return 2;
    }
    std::string input;
    std::string map_csv;
    exchange::ImportedNetwork imported;
    std::vector<exchange::Diagnostic> diagnostics;
    const bool converted = exchange::import_inp_text(inp, input, map_csv, imported, diagnostics);
    for (const exchange::Diagnostic& diagnostic : diagnostics) {
        const std::string line = exchange::describe(diagnostic, options.file) + '\n';
        err.write(line.data(), line.size());
    }
    if (!converted) {
        say(err, options.file + ": refused: nothing written");
        return 1;
    }
    if (!files::write_outputs({{options.output, input}, {options.map, map_csv}}, reason,
                              &temporaries)) {
        say(err, reason);
        return 2;
    }
    const NetworkRecords& records = imported.records;
    const std::string summary =
        options.file + ": " + counted(records.nodes.size(), "node", "nodes") + ", " +
        counted(records.elements.size(), "pipe", "pipes") + ", " +
        counted(records.discharges.size(), "known discharge", "known discharges") + ", " +
        counted(records.heads.size(), "known head", "known heads") + "; half-bandwidth " +
        std::to_string(imported.half_band_before) + " in file order, " +
        std::to_string(imported.half_band_after) + " renumbered\n";
    ByteSink& summary_sink = options.output == "-" ? err : out;
    summary_sink.write(summary.data(), summary.size());
    return 0;
}

} // namespace pipenet::cli
