#include "pipenet/export_command.hpp"

#include <vector>

#include "exchange/inp_export.hpp"
#include "files/input_file.hpp"
#include "files/output_file.hpp"
#include "solve/input_file.hpp"

namespace pipenet::cli {

namespace {

void say(ByteSink& sink, const std::string& text) {
    std::string line = "pipenet export-inp: " + text + '\n';
    sink.write(line.data(), line.size());
}

} // namespace

CLI::App& add_export_command(CLI::App& app, ExportOptions& options) {
    CLI::App* exporting =
        app.add_subcommand("export-inp", "Write an input file of lamnet or turbnet as a .inp file");
    exporting->add_option("FILE", options.file, "The input file of lamnet or turbnet")->required();
    exporting->add_option("-o,--output", options.output, "The .inp file ('-': standard output)")
        ->required();
    exporting
        ->add_option("--length-unit", options.length_unit,
                     "The unit of a lamnet input's lengths (default cm; time in s)")
        ->check(CLI::IsMember({"cm", "m"}))
        ->option_text("cm|m");
    exporting
        ->add_option("--program", options.program,
                     "Read the file as this program's (default: from the file's name)")
        ->check(CLI::IsMember({"lamnet", "turbnet"}))
        ->option_text("lamnet|turbnet");
    exporting->footer(
        "Exit status: 0 the output was written (warnings and notes allowed), 1 the input "
        "was refused and nothing was written, 2 a usage error, an unreadable input, an "
        "output that cannot be written, or a file whose program cannot be told.\n");
    return *exporting;
}

int run_export(const ExportOptions& options, ByteSink& err, files::TemporaryFiles& temporaries) {
    const std::optional<Program> program = solve::program_of_file(options.program, options.file);
    if (const std::string refusal = solve::records_file_refusal(program, options.file);
        !refusal.empty()) {
        say(err, options.file + ": " + refusal);
        return 2;
    }
    if (*program == Program::turbnet && !options.length_unit.empty())
        say(err, "warning: --length-unit applies to lamnet inputs; a turbnet input is in m");
    std::string text;
    std::string reason;
    files::FileClaims claims;
    claims.add_input(options.file);
    if (!claims.claim_output(options.output, reason)) {
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
    const exchange::LengthUnit unit =
        options.length_unit == "m" ? exchange::LengthUnit::metre : exchange::LengthUnit::centimetre;
    std::string inp;
    std::vector<exchange::Diagnostic> diagnostics;
    const bool exported = exchange::export_input_text(text, *program, unit, inp, diagnostics);
    for (const exchange::Diagnostic& diagnostic : diagnostics) {
        const std::string line = exchange::describe(diagnostic, options.file) + '\n';
        err.write(line.data(), line.size());
    }
    if (!exported) {
        say(err, options.file + ": not exported: nothing written");
        return 1;
    }
    if (!files::write_output_file(options.output, inp, reason, &temporaries)) {
        say(err, reason);
        return 2;
    }
    return 0;
}

} // namespace pipenet::cli
