#include "pipenet/plot_command.hpp"

#include <unistd.h>

#include "exchange/inp_reader.hpp"
#include "files/input_file.hpp"
#include "files/output_file.hpp"
#include "model/read_inp.hpp"
#include "plot/render.hpp"
#include "solve/input_file.hpp"

namespace pipenet::cli {

namespace {

void say(ByteSink& err, const std::string& text) {
    std::string line = "pipenet plot: " + text + '\n';
    err.write(line.data(), line.size());
}

bool ends_with(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Without a file named, the one program input file in the current folder.
std::string default_input(std::string& reason) {
    std::string found;
    for (Program program : {Program::lamnet, Program::turbnet}) {
        const std::string name(input_file_name(program));
        if (::access(name.c_str(), F_OK) != 0) continue;
        if (!found.empty()) {
            reason = "both input-lin.dat and input-nonlin.dat are here: name the file to plot";
            return {};
        }
        found = name;
    }
    if (found.empty()) reason = "no input-lin.dat or input-nonlin.dat here: name the file to plot";
    return found;
}

} // namespace

CLI::App& add_plot_command(CLI::App& app, PlotOptions& options) {
    CLI::App* plot = app.add_subcommand(
        "plot", "Draw a network to scale with its results, as SVG or an HTML page");
    plot->add_option("FILE", options.file,
                     "The input file (default: input-lin.dat or input-nonlin.dat here)");
    plot->add_option("-o,--output", options.output, "The picture: NAME.svg or NAME.html")
        ->required();
    plot->add_option("--program", options.program,
                     "Read the file as this program's (default: from the file's name, else its "
                     "header)")
        ->check(CLI::IsMember({"lamnet", "turbnet"}))
        ->option_text("lamnet|turbnet");
    plot->add_option("--labels", options.labels,
                     "Number the nodes, the pipes, both or neither (auto: both up to 200 nodes)")
        ->check(CLI::IsMember({"auto", "none", "nodes", "pipes", "all"}))
        ->capture_default_str();
    plot->add_option("--colour", options.colour,
                     "Colour the nodes by their head or, for a .inp file, their pressure; or the "
                     "pipes by their |velocity| or |discharge|")
        ->check(CLI::IsMember({"head", "pressure", "velocity", "flow"}))
        ->capture_default_str();
    plot->add_option("--time", options.time,
                     ".inp files: the period whose pattern multipliers apply, as H:MM after the "
                     "start (default 0:00)")
        ->option_text("H:MM");
    plot->add_flag("--no-results", options.no_results, "Draw the geometry alone, not analysed");
    plot->add_flag("--band", options.band,
                   "Add the coefficient matrix's nonzero pattern and its half-bandwidth");
    plot->add_flag("--renumber", options.renumber,
                   "Analyse with the nodes renumbered to narrow the band");
    plot->footer("Exit status: 0 the picture was written, 1 it was written but the network did "
                 "not solve, 2 it could not be written.\n");
    return *plot;
}

int run_plot(const PlotOptions& options, ByteSink& err, files::TemporaryFiles& temporaries) {
    const bool html = ends_with(options.output, ".html");
    if (!html && !ends_with(options.output, ".svg")) {
        say(err, "the output must end in .svg or .html: " + options.output);
        return 2;
    }
    std::string reason;
    const std::string path = options.file.empty() ? default_input(reason) : options.file;
    if (path.empty()) {
        say(err, reason);
        return 2;
    }
    files::FileClaims claims;
    claims.add_input(path);
    if (!claims.claim_output(options.output, reason)) {
        say(err, reason);
        return 2;
    }
    std::string text;
    if (!files::read_input_file(path, text, reason)) {
        say(err, path + ": cannot read the file: " + reason);
        return 2;
    }
    plot::PlotSettings settings;
    settings.results = !options.no_results;
    settings.renumber = options.renumber;
    settings.band = options.band;
    plot::PlotNetwork network;
    const bool inp = model::looks_like_inp(text);
    std::optional<Program> program;
    if (inp) {
        std::int64_t time = 0;
        if (!exchange::parse_duration(options.time, "", time) ||
            options.time.find(':') == std::string::npos) {
            say(err, "--time " + options.time + ": give the time of day as H:MM");
            return 2;
        }
        if (!plot::load_plot_inp(path, text, time, settings, network, reason)) {
            say(err, path + ": nothing to draw: " + reason);
            return 2;
        }
    } else {
        program = solve::program_of_file(options.program, path, text);
        if (!program) {
            say(err, path + ": " + std::string(solve::unknown_program_reason));
            return 2;
        }
        if (!plot::load_plot_network(path, text, *program, settings, network, reason)) {
            say(err, path + ": nothing to draw: " + reason);
            return 2;
        }
    }
    if (options.colour == "pressure" && !inp) {
        say(err, path + ": --colour pressure needs elevations, which only .inp files give");
        return 2;
    }
    plot::RenderSettings render;
    render.labels = options.labels == "none"    ? plot::Labels::none
                    : options.labels == "nodes" ? plot::Labels::nodes
                    : options.labels == "pipes" ? plot::Labels::pipes
                    : options.labels == "all"   ? plot::Labels::all
                                                : plot::Labels::automatic;
    render.colour = options.colour == "pressure"   ? plot::Colour::pressure
                    : options.colour == "velocity" ? plot::Colour::velocity
                    : options.colour == "flow"     ? plot::Colour::flow
                                                   : plot::Colour::head;
    render.band = network.band;
    const std::string picture =
        html ? plot::render_html(network, render) : plot::render_svg(network, render);
    if (!files::write_output_file(options.output, picture, reason, &temporaries)) {
        say(err, reason);
        return 2;
    }
    // The picture of a network that did not solve is written, with its reason in a banner; the
    // status says so, as solve's does.
    if (network.analysed && network.verdict != solve::Verdict::solved) {
        say(err, path + ": " + solve::verdict_name(network.verdict) +
                     (network.messages.empty() ? "" : ": " + network.messages.front()));
        return 1;
    }
    return 0;
}

} // namespace pipenet::cli
