#include "network/program_header.hpp"

#include "report/record_io.hpp"

namespace pipenet {

namespace {

// The number of blank- or comma-separated words on a line.
int word_count(std::string_view line) {
    int count = 0;
    std::size_t at = 0;
    while (at < line.size()) {
        at = line.find_first_not_of(" ,", at);
        if (at == std::string_view::npos) break;
        ++count;
        at = line.find_first_of(" ,", at);
    }
    return count;
}

} // namespace

std::optional<Program> program_from_header(std::string_view first_line) {
    // lamnet's header ends at column 50 with a real; turbnet's goes on to column 75.
    if (first_line.size() > 50 && first_line.find_first_not_of(" \t", 50) != std::string_view::npos)
        return Program::turbnet;
    std::string_view fifth = first_line.size() > 40 ? first_line.substr(40) : std::string_view{};
    if (fifth.find_first_of(".eEdD") != std::string_view::npos) return Program::lamnet;
    if (first_line.find(',') != std::string_view::npos) {
        const int words = word_count(first_line);
        if (words == 5) return Program::lamnet;
        if (words == 7) return Program::turbnet;
    }
    return std::nullopt;
}

std::optional<Program> program_from_text(std::string_view text) {
    constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
    if (text.starts_with(byte_order_mark)) text.remove_prefix(byte_order_mark.size());
    std::string_view line = text.substr(0, text.find('\n'));
    if (line.ends_with('\r')) line.remove_suffix(1);
    return program_from_header(line.substr(0, RecordStream::record_capacity));
}

} // namespace pipenet
