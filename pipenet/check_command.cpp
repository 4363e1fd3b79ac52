#include "pipenet/check_command.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "check/check_inp.hpp"
#include "check/check_input.hpp"
#include "check/collect_records.hpp"
#include "check/render.hpp"
#include "files/input_file.hpp"
#include "network/program_header.hpp"
#include "plot/band_pattern.hpp"
#include "solve/input_file.hpp"

namespace pipenet::cli {

namespace {

// An input file read whole, so that a pipe too is read from its start on every open().
class InputFile final : public check::SourceOpener {
public:
    explicit InputFile(std::string text) : text_(std::move(text)), source_(text_) {}
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    ByteSource* open() override {
        source_ = MemorySource(text_);
        return &source_;
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
    MemorySource source_;
};

void say(ByteSink& err, const std::string& text) {
    std::string line = "pipenet check: " + text + '\n';
    err.write(line.data(), line.size());
}

// The band of the network whose records the check gathered, or why it cannot be drawn.
std::string band_text(const std::string& path, check::RecordCollector& collected) {
    std::string error;
    NetworkRecords records;
    if (!collected.take(records, error) || !check_node_numbers(records, error))
        return path + ": no band: " + error + '\n';
    return path + ": " + plot::band_pattern_text(plot::band_pattern_of(records));
}

} // namespace

CLI::App& add_check_command(CLI::App& app, CheckOptions& options) {
    CLI::App* check = app.add_subcommand(
        "check", "Explain input files field by field and report the mistakes in them");
    check->add_option("FILE", options.files,
                      "Input files (default: input-lin.dat and/or input-nonlin.dat in the "
                      "current folder, whichever exist)");
    check->add_flag("--explain", options.explain,
                    "List every record and every field: columns, text and the value read");
    check->add_flag("--json", options.json, "Print the findings (and fields) as one JSON document");
    check
        ->add_option("--program", options.program,
                     "Read every file as this program's (default: from the file's name, else its "
                     "header)")
        ->check(CLI::IsMember({"lamnet", "turbnet"}))
        ->option_text("lamnet|turbnet");
    check->add_flag("--werror", options.werror, "Treat warnings as errors");
    check
        ->add_flag("--band", options.band,
                   "Print the coefficient matrix's nonzero pattern and its half-bandwidth")
        ->excludes("--json");
    check->footer("Exit status: 0 no error (warnings allowed), 1 at least one error, 2 the "
                  "command could not run.\nDiagnostics read FILE:LINE:COLUMNS: SEVERITY: MESSAGE "
                  "[CODE], with the line and a marker under the columns.\n");
    return *check;
}

int run_check(const CheckOptions& options, ByteSink& out, ByteSink& err) {
    std::vector<std::string> files = options.files;
    if (files.empty()) {
        for (Program p : {Program::lamnet, Program::turbnet}) {
            std::string name(input_file_name(p));
            if (::access(name.c_str(), F_OK) == 0) files.push_back(name);
        }
        if (files.empty()) {
            say(err, "no input-lin.dat or input-nonlin.dat in the current folder; name the files "
                     "to check");
            return 2;
        }
    }
    check::RenderOptions render{options.colour && !options.json, options.werror};
    check::TextOutput text(out);
    std::optional<check::JsonReport> json;
    if (options.json) json.emplace(text);
    bool could_not_run = false;
    bool errors = false;
    for (const std::string& path : files) {
        std::string contents;
        std::string reason;
        if (!files::read_input_file(path, contents, reason)) {
            say(err, "cannot read " + path + ": " + reason);
            if (json) json->unreadable_file(path, reason);
            could_not_run = true;
            continue;
        }
        // A .inp file by its name, or by its text when no program is named.
        if (solve::is_inp(path) || (options.program.empty() && solve::is_inp("", contents))) {
            check::CheckResult result;
            check::check_inp(contents, result);
            if (json) {
                json->begin_file(path, "inp", false);
                json->end_file(result, render);
            } else {
                check::write_findings_text(text, path, result, render);
            }
            errors = errors || check::error_count(result, render) > 0;
            continue;
        }
        InputFile file(std::move(contents));
        const std::optional<Program> program =
            solve::program_of_file(options.program, path, file.text());
        if (!program) {
            say(err, "cannot tell whether " + path +
                         " is an input file of lamnet or of turbnet; name the program with "
                         "--program lamnet or --program turbnet");
            if (json) json->unreadable_file(path, "program unknown: give --program");
            could_not_run = true;
            continue;
        }
        check::CheckResult result;
        check::TextExplainer explainer(text, path);
        check::RecordObserver* observer = nullptr;
        if (options.explain)
            observer = json ? static_cast<check::RecordObserver*>(&*json) : &explainer;
        // The band is worked out from the records this one walk reads.
        check::RecordCollector collected(*program, observer);
        if (options.band) observer = &collected;
        if (json) json->begin_file(path, *program, options.explain);
        check::check_input(*program, file, observer, result);
        if (!result.file_read) {
            // A pipe read for its header cannot be read again from the start.
            say(err, "cannot read " + path +
                         " again from its start; name the program with "
                         "--program lamnet or --program turbnet");
            could_not_run = true;
        }
        if (json) {
            json->end_file(result, render);
        } else if (result.file_read) {
            check::write_findings_text(text, path, result, render);
            if (options.band) text.put(band_text(path, collected));
        }
        errors = errors || check::error_count(result, render) > 0;
    }
    if (json) json->finish();
    text.flush();
    return could_not_run ? 2 : errors ? 1 : 0;
}

} // namespace pipenet::cli
