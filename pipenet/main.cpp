// pipenet: tools for the networks of lamnet and turbnet, one subcommand each.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "pipenet/check_command.hpp"
#include "pipenet/export_command.hpp"
#include "pipenet/import_command.hpp"
#include "pipenet/plot_command.hpp"
#include "pipenet/renumber_command.hpp"
#include "pipenet/solve_command.hpp"

namespace {

int run(int argc, char** argv) {
    CLI::App app{"pipenet: tools for the input files of lamnet and turbnet", "pipenet"};
    app.set_version_flag("--version", "pipenet " PIPENET_VERSION);
    app.require_subcommand(1);
    app.footer("Run 'pipenet help COMMAND' for the options of a command.\n");

    std::string topic;
    CLI::App* help = app.add_subcommand("help", "Show the help of pipenet or of a command");
    help->add_option("COMMAND", topic, "The command to explain");

    pipenet::cli::CheckOptions check_options;
    CLI::App& check = pipenet::cli::add_check_command(app, check_options);
    pipenet::cli::SolveOptions solve_options;
    CLI::App& solve = pipenet::cli::add_solve_command(app, solve_options);
    pipenet::cli::PlotOptions plot_options;
    CLI::App& plot = pipenet::cli::add_plot_command(app, plot_options);
    pipenet::cli::RenumberOptions renumber_options;
    CLI::App& renumber = pipenet::cli::add_renumber_command(app, renumber_options);
    pipenet::cli::ImportOptions import_options;
    CLI::App& import_inp = pipenet::cli::add_import_command(app, import_options);
    pipenet::cli::ExportOptions export_options;
    CLI::App& export_inp = pipenet::cli::add_export_command(app, export_options);

    if (argc >= 2 && argv[1][0] != '-') {
        std::string_view name = argv[1];
        bool known = false;
        for (const CLI::App* command : app.get_subcommands({}))
            known = known || command->get_name() == name;
        if (!known) {
            std::fprintf(
                stderr,
                "pipenet: unknown command '%s'; the commands are: check, export-inp, help, "
                "import-inp, plot, renumber, solve\n"
                "Run 'pipenet --help' for usage.\n",
                argv[1]);
            return 2;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ExtrasError& e) {
        // Name the option the command does not have, not the words CLI11 could not place.
        std::string command = "pipenet";
        for (const CLI::App* sub : app.get_subcommands()) command += " " + sub->get_name();
        std::string unknown;
        for (int i = 2; i < argc && unknown.empty(); ++i)
            if (argv[i][0] == '-' && argv[i][1] != '\0' && std::string_view(argv[i]) != "--" &&
                std::string_view(e.what()).find(argv[i]) != std::string_view::npos)
                unknown = argv[i];
        if (unknown.empty()) {
            std::fprintf(stderr, "%s: %s\nRun '%s --help' for usage.\n", command.c_str(), e.what(),
                         command.c_str());
        } else {
            std::fprintf(stderr, "%s: no option %s\nRun '%s --help' for its options.\n",
                         command.c_str(), unknown.c_str(), command.c_str());
        }
        return 2;
    } catch (const CLI::ParseError& e) {
        // Help and version end the parse with a status of 0; any other parse error is a usage
        // error.
        return app.exit(e) == 0 ? 0 : 2;
    }

    pipenet::FdSink out(STDOUT_FILENO);
    pipenet::FdSink err(STDERR_FILENO);
    if (help->parsed()) {
        if (topic.empty()) {
            std::fputs(app.help().c_str(), stdout);
            return 0;
        }
        for (CLI::App* command : app.get_subcommands({})) {
            if (command->get_name() == topic && command != help) {
                // The same text as 'pipenet COMMAND --help', usage line included.
                std::fputs(command->help(app.get_name()).c_str(), stdout);
                return 0;
            }
        }
        std::fprintf(stderr,
                     "pipenet help: no command '%s'; the commands are: check, export-inp, "
                     "import-inp, plot, renumber, solve\n",
                     topic.c_str());
        return 2;
    }
    if (check.parsed()) {
        // Colours only for a person at a terminal who has not asked for none.
        check_options.colour = ::isatty(STDOUT_FILENO) == 1 && std::getenv("NO_COLOR") == nullptr;
        return pipenet::cli::run_check(check_options, out, err);
    }
    // Before any thread is started: the commands below write files, and a signal must not leave
    // their temporary files behind.
    pipenet::files::TemporaryFiles temporaries;
    if (solve.parsed()) {
        solve_options.progress = ::isatty(STDERR_FILENO) == 1;
        return pipenet::cli::run_solve(solve_options, err, temporaries);
    }
    if (plot.parsed()) return pipenet::cli::run_plot(plot_options, err, temporaries);
    if (renumber.parsed())
        return pipenet::cli::run_renumber(renumber_options, out, err, temporaries);
    if (import_inp.parsed()) return pipenet::cli::run_import(import_options, out, err, temporaries);
    if (export_inp.parsed()) return pipenet::cli::run_export(export_options, err, temporaries);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pipenet: %s\n", e.what());
    } catch (...) {
        std::fputs("pipenet: unexpected failure\n", stderr);
    }
    return 2;
}
