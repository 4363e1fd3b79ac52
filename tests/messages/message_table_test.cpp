// The message table and its manual: every code the table holds is listed once in
// docs/messages.md with the severities it is given, and the manual lists no code the table does
// not hold; a text takes its values in order ("{}") or at the place it names ("{k}").
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "messages/message_table.hpp"

namespace pipenet::messages {
namespace {

struct DocumentedCode {
    int rows = 0;
    std::set<std::string> severities;
};

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The rows "| `code` | severity, severity | ... |" of the file's tables, by code.
std::map<std::string, DocumentedCode> documented_codes(const std::filesystem::path& file) {
    std::ifstream in(file);
    EXPECT_TRUE(in) << file;
    std::map<std::string, DocumentedCode> codes;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with("| `")) continue;
        std::vector<std::string> cells;
        std::stringstream row(line.substr(1));
        for (std::string cell; std::getline(row, cell, '|');) cells.push_back(trimmed(cell));
        if (cells.size() < 2 || cells[0].size() < 3 || cells[0].back() != '`') continue;
        DocumentedCode& code = codes[cells[0].substr(1, cells[0].size() - 2)];
        ++code.rows;
        std::stringstream severities(cells[1]);
        for (std::string s; std::getline(severities, s, ',');) code.severities.insert(trimmed(s));
    }
    return codes;
}

TEST(MessageTable, EveryCodeIsDocumentedOnceWithItsSeverities) {
    const std::map<std::string, DocumentedCode> documented =
        documented_codes(std::filesystem::path(PIPENET_DOCS) / "messages.md");
    std::map<std::string, std::set<std::string>> table;
    for (const Entry& e : all_entries())
        table[std::string(e.code)].insert(std::string(severity_name(e.severity)));
    for (const auto& [code, severities] : table) {
        const auto found = documented.find(code);
        if (found == documented.end()) {
            ADD_FAILURE() << code << " is not in docs/messages.md";
            continue;
        }
        EXPECT_EQ(found->second.rows, 1) << code;
        EXPECT_EQ(found->second.severities, severities) << code;
    }
    for (const auto& [code, doc] : documented)
        EXPECT_TRUE(table.contains(code)) << code << " is documented but no message has it";
}

TEST(MessageTable, ValuesGoInOrderOrWhereTheirNumberSays) {
    struct Case {
        Id id;
        std::initializer_list<std::string_view> values;
        const char* text;
    };
    const Case cases[] = {
        // "{}" in order.
        {Id::bad_link, {"P7", "its length is 0"}, "link P7: its length is 0"},
        // "{k}" by number, the first value used twice.
        {Id::tight_tolerance,
         {"1e-7", "25", "2e-6"},
         "the tolerance 1e-7 may be out of reach: for 25 nodes the rounding of the programs' "
         "single precision leaves a relative residual of up to about 2e-6, so the passes may "
         "stall above 1e-7 and run to the iteration limit; pipenet solve in double precision "
         "reaches far tighter"},
        // A value that is missing leaves its place empty; a value too many is not used.
        {Id::unset_node, {}, "node  is given by no node record: it stays at (0, 0)"},
        {Id::unused_node, {"3", "surplus"}, "node 3 is at the end of no pipe"},
    };
    for (const Case& c : cases) EXPECT_EQ(format(c.id, c.values), c.text);
}

} // namespace
} // namespace pipenet::messages
