// How the findings and the record explanation are shown: as text for a person (compiler-style
// diagnostics) and as one JSON document for tools.
#pragma once

#include <string>
#include <string_view>

#include "check/check_input.hpp"
#include "report/record_io.hpp"

namespace pipenet::check {

// Collects text and hands it to a sink in large pieces.
class TextOutput {
public:
    explicit TextOutput(ByteSink& sink) : sink_(sink) {}
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;
    ~TextOutput() { flush(); }
    void put(std::string_view text) {
        buffer_ += text;
        if (buffer_.size() >= 65536) flush();
    }
    void flush() {
        if (!buffer_.empty()) sink_.write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

private:
    ByteSink& sink_;
    std::string buffer_;
};

struct RenderOptions {
    bool colour = false;
    bool werror = false; // warnings are shown and counted as errors
};

// The severity a finding is shown with.
Severity shown_severity(const Finding& finding, const RenderOptions& options);

// Errors of a result once --werror has counted its warnings.
int error_count(const CheckResult& result, const RenderOptions& options);

// ---- Text ----

// Writes every record with its fields, as the records are read.
class TextExplainer final : public RecordObserver {
public:
    TextExplainer(TextOutput& out, std::string_view file) : out_(out), file_(file) {}
    void record(const RecordView& record) override;

private:
    TextOutput& out_;
    std::string file_;
};

// Every finding, ordered by line, then the file's summary line.
void write_findings_text(TextOutput& out, std::string_view file, const CheckResult& result,
                         const RenderOptions& options);

// ---- JSON ----

// Writes one JSON document: {"files": [ ... ], "errors": n, "warnings": n, "notes": n}.
class JsonReport final : public RecordObserver {
public:
    explicit JsonReport(TextOutput& out);
    // One file: begin_file, the records (through the observer, when explained), end_file.
    void begin_file(std::string_view file, Program program, bool explain);
    // A file of another kind than the programs' ("inp").
    void begin_file(std::string_view file, std::string_view kind, bool explain);
    void end_file(const CheckResult& result, const RenderOptions& options);
    // A file that could not be checked.
    void unreadable_file(std::string_view file, std::string_view reason);
    void finish();
    void record(const RecordView& record) override;

private:
    void begin_entry();

    TextOutput& out_;
    std::string file_;
    bool first_file_ = true;
    bool explain_ = false;
    bool first_record_ = true;
    int errors_ = 0;
    int warnings_ = 0;
    int notes_ = 0;
};

} // namespace pipenet::check
