#include "pipenet/solve_command.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "exchange/inp_reader.hpp"
#include "files/input_file.hpp"
#include "files/output_file.hpp"
#include "model/read_inp.hpp"
#include "solve/input_file.hpp"
#include "solve/messages.hpp"
#include "solve/render.hpp"
#include "solve/result_ids.hpp"
#include "solve/solve_network.hpp"

namespace pipenet::cli {

namespace {

using solve::NetworkResult;
using solve::Verdict;

void say(ByteSink& err, const std::string& text) {
    std::string line = "pipenet solve: " + text + '\n';
    err.write(line.data(), line.size());
}

// One network's outputs, formatted by the worker that solved it.
struct Solved {
    Verdict verdict = Verdict::unreadable;
    bool turbulent = false; // read as turbnet's file
    std::string file;
    std::string first_message;
    std::string more_errors; // the errors after the first, a line each
    std::string warnings;    // "FILE: warning: CODE: text" lines
    std::size_t warning_count = 0;
    std::string outcome_csv;
    std::string unnamed; // the first node or pipe the map has no ID for
    std::string json;
    std::string nodes_csv;
    std::string pipes_csv;
    std::string passes_csv;
    std::string report;
    std::string table_row;

    // Empties the slot for the next file, keeping the strings' storage: the next file's
    // outputs are about as long.
    void clear() {
        verdict = Verdict::unreadable;
        turbulent = false;
        warning_count = 0;
        for (std::string* text :
             {&file, &first_message, &more_errors, &warnings, &outcome_csv, &unnamed, &json,
              &nodes_csv, &pipes_csv, &passes_csv, &report, &table_row})
            text->clear();
    }
};

// A number for the table: six significant digits, the way a person reads them (what printf's
// "%.6g" writes, without its cost).
std::string_view table_number(double value, std::array<char, 32>& text) {
    const char* end =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 6)
            .ptr;
    return {text.data(), static_cast<std::size_t>(end - text.data())};
}

constexpr std::array<std::size_t, 5> table_widths{13, 7, 13, 13, 17};

std::string table_line(std::string_view file, std::size_t file_width,
                       const std::array<std::string_view, 5>& cells) {
    std::string line;
    line.reserve(file_width + 80);
    line += file;
    line.append(file_width - std::min(file_width, file.size()), ' ');
    for (std::size_t i = 0; i < table_widths.size(); ++i) {
        const std::string_view cell = cells[i];
        const std::size_t pad = table_widths[i] - std::min(table_widths[i], cell.size());
        line += "  ";
        // The outcome is a word, left-aligned; the rest are numbers.
        if (i == 0) {
            line += cell;
            line.append(pad, ' ');
        } else {
            line.append(pad, ' ');
            line += cell;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    line += '\n';
    return line;
}

// The table's row for one result: outcome, passes, head range and largest imbalance.
std::string table_row(const NetworkResult& result, std::size_t file_width) {
    std::array<std::array<char, 32>, 4> texts;
    std::array<std::string_view, 5> cells{solve::verdict_name(result.verdict), "-", "-", "-", "-"};
    if (!result.passes.empty()) {
        const char* end =
            std::to_chars(texts[0].data(), texts[0].data() + texts[0].size(), result.passes.size())
                .ptr;
        cells[1] = {texts[0].data(), static_cast<std::size_t>(end - texts[0].data())};
    }
    if (!result.nodes.empty()) {
        auto [low, high] = std::minmax_element(
            result.nodes.begin(), result.nodes.end(),
            [](const solve::NodeResult& a, const solve::NodeResult& b) { return a.head < b.head; });
        cells[2] = table_number(low->head, texts[1]);
        cells[3] = table_number(high->head, texts[2]);
    }
    if (result.max_balance_error) cells[4] = table_number(*result.max_balance_error, texts[3]);
    return table_line(result.file, file_width, cells);
}

std::size_t table_file_width(const SolveOptions& options) {
    std::size_t width = 4; // "file"
    for (const std::string& file : options.files) width = std::max(width, file.size());
    return width;
}

// "FILE: warning: CODE: text" and a line feed, appended.
void line(std::string& lines, std::string_view path, std::string_view severity,
          const solve::Message& m) {
    lines.reserve(lines.size() + path.size() + severity.size() + m.code.size() + m.text.size() + 3);
    lines += path;
    lines += severity;
    lines += m.code;
    lines += ": ";
    lines += m.text;
    lines += '\n';
}

// Fills `out`, an emptied slot.
void solve_file(const SolveOptions& options, std::int64_t time, const solve::ResultIds* ids,
                bool csv_ids, const std::string& path, solve::Workspace& workspace, Solved& out) {
    NetworkResult result;
    std::string text;
    std::string reason;
    std::optional<Program> program;
    const bool readable = files::read_input_file(path, text, reason);
    solve::SolveSettings settings;
    settings.report = !options.report.empty();
    settings.print_flag = options.print_flag;
    settings.renumber = options.renumber;
    settings.arithmetic = options.arithmetic == "programs" ? solve::Arithmetic::programs
                                                           : solve::Arithmetic::double_precision;
    settings.tolerances.flow_tolerance = options.flow_tolerance;
    settings.tolerances.head_tolerance = options.head_tolerance;
    settings.tolerances.max_passes = options.max_passes;
    settings.time = time;
    if (readable && model::looks_like_inp(text)) {
        result = solve::solve_inp(path, std::move(text), settings, nullptr, &workspace);
        if (!options.report.empty())
            result.messages.push_back(solve::message(model::Code::no_report));
    } else if (solve::is_inp(path) && readable) {
        result = solve::unreadable_file(
            path, Program::turbnet,
            "named as a .inp file, but it has no [SECTION] line" +
                std::string(exchange::looks_like_fixed_columns(text)
                                ? ": it looks like a lamnet or turbnet input file"
                                : ""));
    } else if (!readable) {
        result = solve::unreadable_file(
            path, solve::program_of_file(options.program, path).value_or(Program::lamnet),
            "cannot read the file: " + reason);
    } else if (program = solve::program_of_file(options.program, path, text); !program) {
        result = solve::unreadable_file(path, Program::lamnet,
                                        std::string(solve::unknown_program_reason));
    } else {
        result = solve::solve_network(path, std::move(text), *program, settings, &workspace);
    }
    out.verdict = result.verdict;
    out.turbulent = program == Program::turbnet || result.inp;
    out.file = path;
    // The first error says why a file was not solved; warnings are listed on their own.
    // Errors after the first follow it on their own lines, so that every reason is read in one
    // run (a file with many refused elements has one per kind, summed up by the reader).
    for (const solve::Message& m : result.messages) {
        if (m.severity != "error") continue;
        if (out.first_message.empty())
            out.first_message = m.text;
        else
            line(out.more_errors, path, ": error: ", m);
    }
    if (out.first_message.empty() && !result.messages.empty())
        out.first_message = result.messages.front().text;
    for (const solve::Message& m : result.messages)
        if (m.severity == "warning") {
            line(out.warnings, path, ": warning: ", m);
            ++out.warning_count;
        }
    if (ids != nullptr && !solve::label_results(*ids, result, out.unnamed))
        result.messages.push_back(solve::message(model::Code::unnamed_id, {out.unnamed}));
    if (options.json.empty() && options.csv.empty() && options.report.empty())
        out.table_row = table_row(result, table_file_width(options));
    if (!options.json.empty()) solve::json_document(result, out.json);
    if (!options.csv.empty()) {
        solve::csv_nodes(result, csv_ids, out.nodes_csv);
        solve::csv_pipes(result, csv_ids, out.pipes_csv);
        solve::csv_passes(result, out.passes_csv);
        solve::csv_outcome(result, out.outcome_csv);
    }
    out.report = std::move(result.report);
}

struct Tally {
    std::size_t solved = 0, refused = 0, singular = 0, not_converged = 0, not_a_number = 0,
                unreadable = 0;

    void count(Verdict verdict) {
        switch (verdict) {
        case Verdict::solved:
            ++solved;
            break;
        case Verdict::refused:
            ++refused;
            break;
        case Verdict::singular:
            ++singular;
            break;
        case Verdict::not_converged:
            ++not_converged;
            break;
        case Verdict::not_a_number:
            ++not_a_number;
            break;
        case Verdict::unreadable:
            ++unreadable;
            break;
        }
    }
    std::string line(std::size_t files) const {
        return std::to_string(files) + (files == 1 ? " file: " : " files: ") +
               std::to_string(solved) + " solved, " + std::to_string(refused) + " refused, " +
               std::to_string(singular) + " singular, " + std::to_string(not_converged) +
               " not converged, " + std::to_string(not_a_number) + " not a number, " +
               std::to_string(unreadable) + " unreadable";
    }
};

void draw_progress(ByteSink& err, std::size_t done, std::size_t total) {
    constexpr std::size_t width = 40;
    const std::size_t filled = total == 0 ? width : done * width / total;
    std::string bar = "\r[" + std::string(filled, '#') + std::string(width - filled, ' ') + "] " +
                      std::to_string(done) + "/" + std::to_string(total);
    if (done == total) bar += "\r" + std::string(bar.size(), ' ') + "\r";
    err.write(bar.data(), bar.size());
}

unsigned job_count(unsigned asked) {
    if (asked != 0) return asked;
    const unsigned processors = std::thread::hardware_concurrency();
    return processors == 0 ? 1 : processors;
}

} // namespace

CLI::App& add_solve_command(CLI::App& app, SolveOptions& options) {
    CLI::App* solve =
        app.add_subcommand("solve", "Analyse networks and write their results at full precision");
    solve->add_option("FILE", options.files, "Input files of lamnet or turbnet, or .inp files")
        ->required();
    solve
        ->add_option("--json", options.json,
                     "Write one JSON document per network, a line each, to PATH ('-': "
                     "standard output)")
        ->option_text("PATH");
    solve
        ->add_option("--csv", options.csv,
                     "Write nodes.csv, pipes.csv and passes.csv into the folder DIR")
        ->option_text("DIR");
    solve
        ->add_option("--report", options.report,
                     "Write each network's report, as the program prints it, to PATH ('-': "
                     "standard output)")
        ->option_text("PATH");
    solve
        ->add_option("--print-flag", options.print_flag,
                     "turbnet's print flag for --report (default 0)")
        ->option_text("N");
    solve
        ->add_option("--program", options.program,
                     "Read every file as this program's (default: from the file's name, else its "
                     "header)")
        ->check(CLI::IsMember({"lamnet", "turbnet"}))
        ->option_text("lamnet|turbnet");
    solve
        ->add_option("--jobs,-j", options.jobs,
                     "Analyse on N threads (default: the number of processors)")
        ->check(CLI::Range(1u, 1024u))
        ->option_text("N");
    solve
        ->add_option("--map", options.map,
                     "Report nodes and pipes under the IDs of MAP, as import-inp or renumber "
                     "wrote it")
        ->option_text("MAP");
    solve->add_flag("--renumber", options.renumber,
                    "With --arithmetic programs: renumber the nodes to narrow the band; results "
                    "keep the file's numbers");
    solve
        ->add_option("--arithmetic", options.arithmetic,
                     "double: double precision on a sparse factorization (default); programs: "
                     "the programs' single-precision engine, bit for bit")
        ->check(CLI::IsMember({"double", "programs"}))
        ->option_text("double|programs");
    solve
        ->add_option("--flow-tolerance", options.flow_tolerance,
                     "Largest nodal imbalance of a solution, in the file's discharge unit "
                     "(default 1e-6)")
        ->check(CLI::PositiveNumber)
        ->option_text("Q");
    solve
        ->add_option("--head-tolerance", options.head_tolerance,
                     "Largest head change of the last pass, in the file's length unit "
                     "(default 1e-4)")
        ->check(CLI::PositiveNumber)
        ->option_text("H");
    solve->add_option("--max-passes", options.max_passes, "Newton passes at most (default 50)")
        ->check(CLI::Range(1, 100000))
        ->option_text("N");
    solve->add_flag("--strict", options.strict, "Exit with status 1 when a file has a warning");
    solve
        ->add_option("--time", options.time,
                     ".inp files: the period whose pattern multipliers apply, as H:MM after the "
                     "start (default 0:00)")
        ->option_text("H:MM");
    solve->footer("Without --json, --csv or --report, a table of each file's outcome goes to "
                  "standard output.\nExit status: 0 every file was solved (with --strict, and "
                  "none has a warning), 1 a file was not (or the map names no ID for one of its "
                  "nodes or pipes, or --strict and a warning), 2 a usage error, a map that cannot "
                  "be read, an output that is an input, or an output that cannot be written.\n");
    return *solve;
}

int run_solve(const SolveOptions& options, ByteSink& err, files::TemporaryFiles& temporaries) {
    std::string reason;
    // Every output is checked against every input before anything is read or written.
    files::FileClaims claims;
    for (const std::string& file : options.files) claims.add_input(file);
    if (!options.map.empty()) claims.add_input(options.map);
    // passes.csv is claimed whether or not a file turns out turbulent.
    for (const std::string& output :
         {options.json, options.report,
          options.csv.empty() ? std::string() : options.csv + "/nodes.csv",
          options.csv.empty() ? std::string() : options.csv + "/pipes.csv",
          options.csv.empty() ? std::string() : options.csv + "/passes.csv",
          options.csv.empty() ? std::string() : options.csv + "/outcomes.csv"}) {
        if (!output.empty() && !claims.claim_output(output, reason)) {
            say(err, reason);
            return 2;
        }
    }
    solve::ResultIds ids;
    if (!options.map.empty()) {
        std::string text;
        if (!files::read_input_file(options.map, text, reason)) {
            say(err, options.map + ": cannot read the file: " + reason);
            return 2;
        }
        if (!solve::read_result_ids(text, ids, reason)) {
            say(err, options.map + ": " + reason);
            return 2;
        }
    }
    const solve::ResultIds* map = options.map.empty() ? nullptr : &ids;
    // The CSV tables end in ID columns with a map, or when a file is a .inp file by its name.
    const bool csv_ids =
        map != nullptr || std::any_of(options.files.begin(), options.files.end(),
                                      [](const std::string& f) { return solve::is_inp(f); });
    std::int64_t time = 0;
    if (!exchange::parse_duration(options.time, "", time) ||
        options.time.find(':') == std::string::npos) {
        say(err, "--time " + options.time + ": give the time of day as H:MM");
        return 2;
    }
    files::OutputFile json(&temporaries), report(&temporaries), nodes(&temporaries),
        pipes(&temporaries), passes(&temporaries), outcomes(&temporaries);
    if (!options.json.empty() && !json.open(options.json, reason)) {
        say(err, reason);
        return 2;
    }
    if (!options.report.empty() && !report.open(options.report, reason)) {
        say(err, reason);
        return 2;
    }
    if (!options.csv.empty()) {
        if (::mkdir(options.csv.c_str(), 0777) != 0 && errno != EEXIST) {
            say(err, "cannot make " + options.csv + ": " + std::strerror(errno));
            return 2;
        }
        if (!nodes.open(options.csv + "/nodes.csv", reason) ||
            !pipes.open(options.csv + "/pipes.csv", reason) ||
            !outcomes.open(options.csv + "/outcomes.csv", reason)) {
            say(err, reason);
            return 2;
        }
        nodes.write(solve::csv_nodes_header(csv_ids));
        pipes.write(solve::csv_pipes_header(csv_ids));
        outcomes.write(solve::csv_outcomes_header());
    }
    // Without an output named, a table of the outcomes goes to standard output.
    files::OutputFile table(&temporaries);
    if (options.json.empty() && options.csv.empty() && options.report.empty()) {
        table.open("-", reason);
        table.write(
            table_line("file", table_file_width(options),
                       {"outcome", "passes", "lowest head", "highest head", "largest imbalance"}));
    }
    // passes.csv is opened for the first file with passes (a turbulent file, or any file in
    // double precision): which files are turbulent is told from their headers, once read.
    bool passes_failed = false;

    // Files are solved a batch at a time and written in the order given, so that the output is
    // the same for any number of threads and memory stays bounded however many files there are.
    const unsigned jobs = job_count(options.jobs);
    const std::size_t total = options.files.size();
    const std::size_t batch = std::size_t{64} * jobs;
    const bool progress = options.progress && total > 1;
    std::vector<Solved> solved(std::min(batch, total));
    // One workspace per thread, kept from batch to batch.
    std::vector<solve::Workspace> workspaces(jobs);
    Tally tally;
    std::size_t unnamed = 0;
    std::size_t warned = 0;
    for (std::size_t first = 0; first < total; first += batch) {
        const std::size_t count = std::min(batch, total - first);
        std::atomic<std::size_t> next{0};
        auto work = [&](solve::Workspace& workspace) {
            for (std::size_t i = next++; i < count; i = next++)
                solve_file(options, time, map, csv_ids, options.files[first + i], workspace,
                           solved[i]);
        };
        {
            std::vector<std::jthread> threads;
            for (unsigned t = 1; t < std::min<std::size_t>(jobs, count); ++t)
                threads.emplace_back(work, std::ref(workspaces[t]));
            work(workspaces[0]);
        }
        for (std::size_t i = 0; i < count; ++i) {
            Solved& s = solved[i];
            tally.count(s.verdict);
            if (s.verdict != Verdict::solved)
                say(err, s.file + ": " + solve::verdict_name(s.verdict) +
                             (s.first_message.empty() ? "" : ": " + s.first_message));
            if (!s.more_errors.empty()) err.write(s.more_errors.data(), s.more_errors.size());
            if (!s.warnings.empty()) {
                err.write(s.warnings.data(), s.warnings.size());
                warned += s.warning_count;
            }
            if (!s.unnamed.empty()) {
                ++unnamed;
                say(err, s.file + ": the map " + options.map + " names no " + s.unnamed +
                             ": is it the map of this network?");
            }
            if ((s.turbulent || !s.passes_csv.empty()) && !options.csv.empty() &&
                !passes.is_open() && !passes_failed) {
                if (passes.open(options.csv + "/passes.csv", reason)) {
                    passes.write(solve::csv_passes_header());
                } else {
                    say(err, reason);
                    passes_failed = true;
                }
            }
            table.write(s.table_row);
            json.write(s.json);
            nodes.write(s.nodes_csv);
            pipes.write(s.pipes_csv);
            passes.write(s.passes_csv);
            outcomes.write(s.outcome_csv);
            report.write(s.report);
            s.clear();
        }
        if (progress) draw_progress(err, first + count, total);
    }

    bool written = !passes_failed;
    for (files::OutputFile* output : {&table, &json, &report, &nodes, &pipes, &passes, &outcomes}) {
        if (output->is_open() && !output->finish(reason)) {
            say(err, reason);
            written = false;
        }
    }
    say(err, tally.line(total));
    if (!written) return 2;
    if (options.strict && warned > 0) return 1;
    return tally.solved == total && unnamed == 0 ? 0 : 1;
}

} // namespace pipenet::cli
