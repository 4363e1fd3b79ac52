#include "fuzz/checks.hpp"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "report/notices.hpp"

namespace pipenet::fuzz {

namespace {

constexpr std::string_view output_conversion_line =
    "netio: error (63): output conversion error, unit 6, file CONOUT$";

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool ends_with(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The lines a run that reaches the end of its driver may end its report with.
bool is_final_line(std::string_view line, bool lamnet) {
    static const std::string closing = std::string(1, ' ').append(130, '*');
    static constexpr std::array<std::string_view, 5> messages = {
        "  **** too many nodes ****  ",          "  **** too many elements ****  ",
        "  **** too many boundary nodes ****  ", "  **** maximum half-bandwidth exceeded ****  ",
        "  **** no nodes in the network ****  ",
    };
    static constexpr std::array<std::string_view, 5> number_messages = {
        "  **** node number out of range in node record :",
        "  **** element number out of range in element record :",
        "  **** node number out of range at an end of element",
        "  **** node number out of range in known-discharge record :",
        "  **** node number out of range in known-head record :",
    };
    if (line == closing) return true;
    for (std::string_view m : messages)
        if (line == m) return true;
    for (std::string_view m : number_messages)
        if (starts_with(line, m) && ends_with(line, " ****  ")) return true;
    if (lamnet) return line == "  **** errors detected prevent analysis  **** ";
    return line == " **** errors detected during initial solution **** " ||
           line == "  *** error detected during the iterations ***";
}

// A balance warning of the program: its notice text up to the first value.
bool is_balance_warning(std::string_view line, bool lamnet) {
    std::string_view text =
        notice_text(lamnet ? Notice::lamnet_balance_off : Notice::turbnet_balance_off);
    return starts_with(line, text.substr(0, text.find('%')));
}

} // namespace

void broken(const char* rule, std::string_view detail) {
    std::fprintf(stderr, "fuzz: rule broken: %s: [%.*s]\n", rule, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

bool ReportTail::write(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            if (!current_.empty()) last_ = current_;
            current_.clear();
        } else {
            current_.push_back(data[i]);
        }
    }
    return true;
}

bool ErrorLines::write(const char* data, std::size_t size) {
    text_.append(data, size);
    return true;
}

std::vector<std::string_view> ErrorLines::lines() const {
    std::vector<std::string_view> result;
    std::string_view rest = text_;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        if (end == std::string_view::npos) broken("error report without line end", rest);
        result.push_back(rest.substr(0, end));
        rest.remove_prefix(end + 1);
    }
    return result;
}

void check_severe_line(std::string_view line, int status, std::string_view file_name,
                       bool console_allowed) {
    std::string_view message;
    if (status == 24) {
        message = "end-of-file during read";
    } else if (status == 64) {
        message = "input conversion error";
    } else {
        broken("unexpected exit status", line);
    }
    // Built by appending: g++ 12 warns wrongly on a literal + std::string at -O3.
    std::string head("netio: severe (");
    head.append(std::to_string(status)).append("): ").append(message);
    std::string on_file(head);
    on_file.append(", unit 2, file /");
    std::string on_console(head);
    on_console.append(", unit 5, file CONIN$");
    std::string tail("/");
    tail.append(file_name);
    bool file_line = starts_with(line, on_file) && ends_with(line, tail);
    bool console_line = console_allowed && line == on_console;
    if (!file_line && !console_line) broken("wrong failure report", line);
}

void check_run(int status, const ReportTail& report, const ErrorLines& errors, bool lamnet) {
    std::vector<std::string_view> lines = errors.lines();
    if (report.line_unfinished()) broken("report line left unfinished", report.last_line());
    if (status == 0) {
        // A balance warning may follow the results, as the last line.
        static const std::string closing = std::string(1, ' ').append(130, '*');
        if (!lines.empty() && is_balance_warning(lines.back(), lamnet)) {
            if (report.last_line() != closing)
                broken("balance warning without results", lines.back());
            lines.pop_back();
        }
        for (std::string_view line : lines)
            if (line != output_conversion_line) broken("failure report in a finished run", line);
        if (!is_final_line(report.last_line(), lamnet))
            broken("report ends without results or message", report.last_line());
        return;
    }
    if (lines.empty()) broken("run ended without failure report", std::to_string(status));
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i] != output_conversion_line) broken("more than one failure report", lines[i]);
    check_severe_line(lines.back(), status, lamnet ? "input-lin.dat" : "input-nonlin.dat", !lamnet);
}

void run_and_check(int (*run)(RecordIo&), std::string_view file, std::string_view console,
                   bool lamnet) {
    MemorySource input(file);
    MemorySource console_input(console);
    ReportTail report;
    ErrorLines errors;
    RecordIo io(report, errors, console_input);
    io.use_input_source(input);
    int status = run(io);
    check_run(status, report, errors, lamnet);
}

void bound_iteration_limit(std::vector<char>& file, char limit) {
    std::size_t line_end = 0;
    while (line_end < file.size() && file[line_end] != '\n') ++line_end;
    if (line_end > 0 && file[line_end - 1] == '\r') --line_end;
    for (std::size_t i = 0; i < line_end && i < 40; ++i)
        if (file[i] == ',') file[i] = ' ';
    if (line_end > 40) {
        std::size_t last = line_end < 50 ? line_end : 50;
        for (std::size_t i = 40; i < last; ++i) file[i] = ' ';
        file[last - 1] = limit;
    }
}

} // namespace pipenet::fuzz
