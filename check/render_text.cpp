#include "check/render.hpp"

#include <algorithm>
#include <numeric>
#include <vector>

namespace pipenet::check {

namespace {

constexpr std::string_view bold = "\033[1m";
constexpr std::string_view reset = "\033[0m";
constexpr std::string_view marker_colour = "\033[1;32m";

std::string_view severity_colour(Severity severity) {
    switch (severity) {
    case Severity::error:
        return "\033[1;31m";
    case Severity::warning:
        return "\033[1;35m";
    case Severity::note:
        return "\033[1;36m";
    }
    return "";
}

// The line as it is shown above its marker: one character a column, so the marker lines up.
std::string shown_line(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        auto u = static_cast<unsigned char>(c);
        if (c == '\t')
            c = ' ';
        else if (u < 0x20 || u >= 0x7f)
            c = '?';
    }
    return line;
}

std::string counted(int count, std::string_view what) {
    return std::to_string(count) + ' ' + std::string(what) + (count == 1 ? "" : "s");
}

std::string field_value(const FieldView& field) {
    if (!field.valid) return "not a number";
    return field.is_real ? shortest_text(field.real) : std::to_string(field.integer);
}

} // namespace

Severity shown_severity(const Finding& finding, const RenderOptions& options) {
    return options.werror && finding.severity == Severity::warning ? Severity::error
                                                                   : finding.severity;
}

int error_count(const CheckResult& result, const RenderOptions& options) {
    return result.errors + (options.werror ? result.warnings : 0);
}

void TextExplainer::record(const RecordView& record) {
    std::string text = file_ + ':' + std::to_string(record.line) + ": ";
    if (record.group == Group::after_records) {
        text += "after the last record: not read\n";
    } else if (record.fields.empty()) {
        text += record_name(record.group, 1) + ": read and passed over (no nodes announced)\n";
    } else {
        text += (record.group == Group::header ? std::string("header")
                                               : record_name(record.group, record.index)) +
                '\n';
    }
    for (const FieldView& f : record.fields) {
        std::string columns = std::to_string(f.first_column) + '-' + std::to_string(f.last_column);
        std::string line = "    columns " + columns;
        line.resize(std::max<std::size_t>(line.size(), 22), ' ');
        line += ' ';
        line += f.name;
        line.resize(std::max<std::size_t>(line.size(), 52), ' ');
        line += " \"" + printable(f.text) + "\" -> " + field_value(f) + '\n';
        text += line;
    }
    out_.put(text);
}

void write_findings_text(TextOutput& out, std::string_view file, const CheckResult& result,
                         const RenderOptions& options) {
    std::vector<std::size_t> order(result.findings.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    auto key = [&](std::size_t i) {
        const Finding& f = result.findings[i];
        return std::pair(f.line == 0 ? INT32_MAX : f.line, f.first_column);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    for (std::size_t i : order) {
        const Finding& f = result.findings[i];
        std::string location(file);
        if (f.line > 0) location += ':' + std::to_string(f.line);
        if (f.first_column > 0) {
            location += ':' + std::to_string(f.first_column);
            if (f.last_column > f.first_column) location += '-' + std::to_string(f.last_column);
        }
        const Severity severity = shown_severity(f, options);
        std::string text;
        if (options.colour) text += bold;
        text += location + ':';
        if (options.colour) text += reset;
        text += ' ';
        if (options.colour) text += severity_colour(severity);
        text += severity_name(severity);
        text += ':';
        if (options.colour) text += reset;
        text += ' ' + f.text + " [" + std::string(message_entry(f.message).code) + "]\n";
        if (f.line_known) {
            text += shown_line(f.line_text) + '\n';
            if (f.first_column > 0) {
                const int last = std::max(f.first_column, f.last_column);
                if (options.colour) text += marker_colour;
                text += std::string(static_cast<std::size_t>(f.first_column - 1), ' ') + '^' +
                        std::string(static_cast<std::size_t>(last - f.first_column), '~');
                if (options.colour) text += reset;
                text += '\n';
            }
        }
        out.put(text);
    }
    const int errors = error_count(result, options);
    const int warnings = options.werror ? 0 : result.warnings;
    std::string summary(file);
    if (errors == 0 && warnings == 0 && result.notes == 0) {
        summary += ": no problems found: " +
                   std::string(result.inp                          ? ".inp"
                               : result.program == Program::lamnet ? "lamnet"
                                                                   : "turbnet") +
                   (result.inp ? " file, " : " input, ") + counted(result.node_count, "node") +
                   ", " + counted(result.pipe_count, "pipe") + ", " +
                   counted(result.known_discharge_count, "known discharge") + ", " +
                   counted(result.known_head_count, "known head") + '\n';
    } else {
        summary += ": " + counted(errors, "error") + ", " + counted(warnings, "warning") + ", " +
                   counted(result.notes, "note") + '\n';
    }
    out.put(summary);
}

} // namespace pipenet::check
