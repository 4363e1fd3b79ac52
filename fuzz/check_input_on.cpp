#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "check/check_input.hpp"
#include "check/render.hpp"
#include "fuzz/checks.hpp"
#include "fuzz/harness.hpp"

namespace pipenet::fuzz {

namespace {

class MemoryOpener final : public check::SourceOpener {
public:
    MemoryOpener(const char* data, std::size_t size) : data_(data), size_(size) {}
    ByteSource* open() override {
        source_.emplace(data_, size_);
        return &*source_;
    }

private:
    const char* data_;
    std::size_t size_;
    std::optional<MemorySource> source_;
};

class Collect final : public ByteSink {
public:
    bool write(const char* data, std::size_t size) override {
        text.append(data, size);
        return true;
    }
    std::string text;
};

} // namespace

void check_input_on(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    const std::uint8_t options = data[0];
    const Program program = (options & 1) != 0 ? Program::turbnet : Program::lamnet;
    const bool explain = (options & 2) != 0;
    const bool json = (options & 4) != 0;
    MemoryOpener opener(reinterpret_cast<const char*>(data + 1), size - 1);
    Collect out;
    check::CheckResult result;
    {
        check::TextOutput text(out);
        check::RenderOptions render{(options & 8) != 0, (options & 16) != 0};
        std::optional<check::JsonReport> report;
        check::TextExplainer explainer(text, "input");
        check::RecordObserver* observer = nullptr;
        if (json) report.emplace(text);
        if (explain) observer = json ? static_cast<check::RecordObserver*>(&*report) : &explainer;
        if (report) report->begin_file("input", program, explain);
        check::check_input(program, opener, observer, result);
        if (report) {
            report->end_file(result, render);
            report->finish();
        } else {
            check::write_findings_text(text, "input", result, render);
        }
    }
    if (result.findings.size() > check::max_findings_kept + 1)
        broken("findings kept beyond the bound", std::to_string(result.findings.size()));
    const auto counted = static_cast<std::size_t>(result.errors + result.warnings + result.notes);
    if (result.findings.size() !=
        counted - static_cast<std::size_t>(result.omitted) + (result.omitted > 0 ? 1 : 0))
        broken("findings and their counts disagree", std::to_string(counted));
    for (const check::Finding& f : result.findings) {
        if (f.line < 0 || f.line > result.lines + 1)
            broken("finding on a line the file does not have", std::to_string(f.line));
        if (f.first_column < 0 || f.last_column < f.first_column ||
            f.last_column > RecordStream::record_capacity + 1)
            broken("finding columns out of order or beyond the record", f.text);
        if (f.line_known && f.line_text.size() > RecordStream::record_capacity)
            broken("line text longer than a record", f.text);
    }
    if (json && !nlohmann::json::accept(out.text)) broken("JSON output does not parse", out.text);
    if (!json && (out.text.empty() || out.text.back() != '\n'))
        broken("text output does not end with a line end", out.text);
}

} // namespace pipenet::fuzz
