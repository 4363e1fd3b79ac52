// What the fuzz entry functions check after a run: the sinks that stand for the report and for
// standard error, and the rules every run's outcome must keep.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/record_io.hpp"

namespace pipenet::fuzz {

// Writes the rule and the detail to standard error and aborts, which libFuzzer reports as a
// finding with the input that caused it.
[[noreturn]] void broken(const char* rule, std::string_view detail);

// Drops the report but remembers its last non-empty line.
class ReportTail final : public ByteSink {
public:
    bool write(const char* data, std::size_t size) override;
    // The last non-empty line, or an unfinished last line.
    std::string_view last_line() const { return current_.empty() ? last_ : current_; }
    bool line_unfinished() const { return !current_.empty(); }

private:
    std::string current_;
    std::string last_;
};

// Keeps what is written to standard error.
class ErrorLines final : public ByteSink {
public:
    bool write(const char* data, std::size_t size) override;
    // The lines written; a piece without its line end breaks a rule.
    std::vector<std::string_view> lines() const;

private:
    std::string text_;
};

// The one severe failure report a run may end with: end of file (24) or a field that is not a
// number (64), on the input file (its full path ends with "/" + file_name) or, when
// console_allowed, on the console.
void check_severe_line(std::string_view line, int status, std::string_view file_name,
                       bool console_allowed);

// A whole run of lamnet (lamnet true) or turbnet ended with `status`: status 0 with a report that
// ends in the closing line of the results or in one of the driver's messages, and no failure
// report but output conversion errors, then at most one balance warning after results; or
// status 24 or 64 with exactly one severe report, last.
void check_run(int status, const ReportTail& report, const ErrorLines& errors, bool lamnet);

// Bounds a turbnet run: commas in columns 1-40 of the file's first line become blanks (so
// that the iteration limit stays in its columns), and columns 41-50, the iteration limit, hold
// the one digit `limit`, so that no run makes more than nine correction passes.
void bound_iteration_limit(std::vector<char>& file, char limit);

// Runs one whole program in memory on the input-file bytes `file` and the console text
// `console`, then checks its outcome with check_run.
void run_and_check(int (*run)(RecordIo&), std::string_view file, std::string_view console,
                   bool lamnet);

} // namespace pipenet::fuzz
