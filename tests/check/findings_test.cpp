// One small file per finding: the worked loop with one mistake typed into it, and where the
// finding must point (line, columns), how severe it is and its code.
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

#include "model/findings.hpp"
#include "network/program_header.hpp"
#include "tests/check/fixtures.hpp"

namespace pipenet::testing {
namespace {

using check::message_entry;
using check::Severity;

struct FindingCase {
    const char* name;
    Program program;
    std::function<void(Lines&)> edit; // applied to the program's worked loop
    std::int32_t line;
    std::int32_t first_column;
    std::int32_t last_column;
    Severity severity;
    const char* code;
};

// The case's name where a test lists its parameter, not the struct's bytes.
void PrintTo(const FindingCase& c, std::ostream* out) {
    *out << c.name;
}

Lines chain_too_wide() {
    // 23 nodes in a chain and a pipe from node 1 to node 23: half-bandwidth 23.
    Lines lines{row({"23", "23", "0", "1", "97900."})};
    for (int n = 1; n <= 23; ++n)
        lines.push_back(row({std::to_string(n), std::to_string(10 * n) + ".", "0."}));
    for (int e = 1; e <= 22; ++e)
        lines.push_back(row({std::to_string(e), std::to_string(e), std::to_string(e + 1), "0.2"}));
    lines.push_back(row({"23", "1", "23", "0.2"}));
    lines.push_back(row({"1", "100."}));
    return lines;
}

const FindingCase finding_cases[] = {
    {"implied decimals", Program::lamnet,
     [](Lines& l) {
         l[5] = row({"1", "1", "2", "20"});
     },
     6, 31, 40, Severity::warning, "implied-decimals"},
    {"blank inside a number", Program::lamnet,
     [](Lines& l) {
         l[2] = row({"2", "1 20.5", "0.00"});
     },
     3, 11, 20, Severity::warning, "blank-in-number"},
    {"number across a field boundary", Program::lamnet,
     [](Lines& l) { l[2] = pad("2", 10) + "  80.00012" + "34.00     "; }, 3, 13, 25,
     Severity::warning, "field-overrun"},
    {"number past the last field", Program::lamnet,
     [](Lines& l) {
         l[0] = row({"4", "4", "2", "1"}) + "      97900";
     },
     1, 47, 51, Severity::warning, "field-overrun"},
    {"decimal comma in a column record", Program::lamnet,
     [](Lines& l) { l[3] = pad("3", 10) + "     80,00     60.00"; }, 4, 11, 17, Severity::warning,
     "comma-ends-field"},
    {"record written with commas", Program::lamnet, [](Lines& l) { l[4] = "4,0.,60."; }, 5, 1, 8,
     Severity::note, "comma-ends-field"},
    {"text after the last field", Program::lamnet, [](Lines& l) { l[7] += " old"; }, 8, 42, 44,
     Severity::warning, "text-after-fields"},
    {"TAB in a field", Program::lamnet, [](Lines& l) { l[1] = "\t1      0.00      0.00"; }, 2, 1, 1,
     Severity::error, "tab"},
    {"TAB after the last field", Program::lamnet, [](Lines& l) { l[11] += "\t"; }, 12, 21, 21,
     Severity::warning, "tab"},
    {"more digits than a float keeps", Program::lamnet,
     [](Lines& l) {
         l[0] = row({"4", "4", "2", "1", "97900.123"});
     },
     1, 41, 50, Severity::warning, "too-many-digits"},
    {"echo prints fewer decimals", Program::lamnet,
     [](Lines& l) {
         l[2] = row({"2", "12.345", "0.00"});
     },
     3, 11, 20, Severity::note, "echo-rounds"},
    {"value too wide for its echo", Program::lamnet,
     [](Lines& l) { l[9] = pad("3", 10) + pad("-10000000.", 12); }, 10, 11, 22, Severity::warning,
     "asterisks"},
    {"letter in a number", Program::lamnet,
     [](Lines& l) {
         l[2] = row({"2", "8O.00", "0.00"});
     },
     3, 11, 20, Severity::error, "not-a-number"},
    {"byte order mark", Program::lamnet, [](Lines& l) { l[0] = "\xEF\xBB\xBF" + l[0]; }, 1, 1, 1,
     Severity::note, "byte-order-mark"},
    {"Ctrl-Z in a field", Program::lamnet,
     [](Lines& l) { l[1] = pad("1", 10) + "     0.00\x1a" + pad("0.00", 10); }, 2, 20, 20,
     Severity::error, "editor-bytes"},
    {"Ctrl-Z after the last record's fields", Program::lamnet, [](Lines& l) { l[11] += "\x1a"; },
     12, 21, 21, Severity::note, "editor-bytes"},
    {"file ends before the counts are met", Program::lamnet, [](Lines& l) { l.pop_back(); }, 12, 0,
     0, Severity::error, "missing-record"},
    {"known head at a node beyond the count", Program::lamnet,
     [](Lines& l) {
         l[11] = row({"7", "120.0000"});
     },
     12, 1, 10, Severity::error, "number-out-of-range"},
    {"pipe end beyond the count", Program::lamnet,
     [](Lines& l) {
         l[6] = row({"2", "2", "9", "0.15"});
     },
     7, 21, 30, Severity::error, "number-out-of-range"},
    {"pipe given twice", Program::lamnet,
     [](Lines& l) {
         l[8] = row({"3", "4", "3", "0.2"});
     },
     9, 1, 10, Severity::warning, "duplicate-record"},
    {"pipe given by no record", Program::lamnet,
     [](Lines& l) {
         l[8] = row({"3", "4", "3", "0.2"});
     },
     1, 11, 20, Severity::error, "unset-pipe"},
    {"node given by no record", Program::lamnet,
     [](Lines& l) {
         l[4] = row({"3", "0.00", "60.00"});
     },
     1, 1, 10, Severity::warning, "unset-node"},
    {"node at the end of no pipe", Program::lamnet,
     [](Lines& l) {
         l[7] = row({"3", "1", "3", "0.15"});
         l[8] = row({"4", "1", "3", "0.2"});
     },
     5, 1, 10, Severity::warning, "unused-node"},
    {"pipe from a node to itself", Program::lamnet,
     [](Lines& l) {
         l[6] = row({"2", "3", "3", "0.15"});
     },
     7, 1, 10, Severity::error, "same-node-pipe"},
    {"pipe ends at one point", Program::lamnet,
     [](Lines& l) {
         l[3] = row({"3", "80.00", "0.00"});
     },
     7, 1, 10, Severity::error, "zero-length"},
    {"zero diameter", Program::lamnet,
     [](Lines& l) {
         l[5] = row({"1", "1", "2", "0."});
     },
     6, 31, 40, Severity::error, "bad-diameter"},
    {"negative diameter", Program::lamnet,
     [](Lines& l) {
         l[5] = row({"1", "1", "2", "-0.2"});
     },
     6, 31, 40, Severity::error, "bad-diameter"},
    {"known head and known discharge on one node", Program::lamnet,
     [](Lines& l) {
         l[11] = row({"3", "120.0000"});
     },
     12, 1, 10, Severity::warning, "head-and-discharge"},
    {"two known heads for one node", Program::lamnet,
     [](Lines& l) {
         l[0] = row({"4", "4", "2", "2", "97900."});
         l.push_back(row({"1", "110.0"}));
     },
     13, 1, 10, Severity::warning, "two-known-heads"},
    {"no known head at all", Program::lamnet,
     [](Lines& l) {
         l[0] = row({"4", "4", "2", "0", "97900."});
         l.pop_back();
     },
     5, 1, 10, Severity::error, "no-known-head"},
    {"half-bandwidth beyond 20", Program::lamnet, [](Lines& l) { l = chain_too_wide(); }, 47, 1, 10,
     Severity::error, "half-bandwidth"},
    {"more nodes than the programs hold", Program::lamnet,
     [](Lines& l) {
         l[0] = row({"101", "4", "2", "1", "97900."});
     },
     1, 1, 10, Severity::error, "capacity"},
    {"no nodes", Program::lamnet,
     [](Lines& l) {
         l[0] = row({"0", "4", "2", "1", "97900."});
     },
     1, 1, 10, Severity::error, "no-nodes"},
    {"print flag typed into the file", Program::turbnet, [](Lines& l) { l.push_back(row({"1"})); },
     15, 1, 10, Severity::note, "print-flag"},
    {"tolerance of zero", Program::turbnet,
     [](Lines& l) {
         l[0] = row({"4", "5", "3", "1", "20", "0."}) + pad("130.", 15);
     },
     1, 51, 60, Severity::warning, "tolerance-not-positive"},
    {"loose tolerance", Program::turbnet,
     [](Lines& l) {
         l[0] = row({"4", "5", "3", "1", "20", "0.01"}) + pad("130.", 15);
     },
     1, 51, 60, Severity::warning, "loose-tolerance"},
    // 4 nodes: single precision reaches about 4 x 2^-24 x sqrt(4) = 4.8e-7, not 1e-7.
    {"tolerance out of single precision's reach", Program::turbnet,
     [](Lines& l) {
         l[0] = row({"4", "5", "3", "1", "20", "0.0000001"}) + pad("130.", 15);
     },
     1, 51, 60, Severity::note, "tight-tolerance"},
    {"iteration limit below 1", Program::turbnet,
     [](Lines& l) {
         l[0] = row({"4", "5", "3", "1", "0", "0.000001"}) + pad("130.", 15);
     },
     1, 41, 50, Severity::warning, "iteration-limit"},
    {"relative roughness of zero", Program::turbnet,
     [](Lines& l) {
         l[0] = row({"4", "5", "3", "1", "20", "0.000001"}) + pad("0.", 15);
     },
     1, 61, 75, Severity::error, "roughness-not-positive"},
    {"relative roughness out of the usual range", Program::turbnet,
     [](Lines& l) {
         l[0] = row({"4", "5", "3", "1", "20", "0.000001"}) + pad("13.", 15);
     },
     1, 61, 75, Severity::warning, "roughness-range"},
    {"record after the last announced one", Program::lamnet,
     [](Lines& l) { l.push_back(pad("2", 10) + pad("-0.1000", 12)); }, 13, 1, 22, Severity::warning,
     "trailing-record"},
    {"notes after the last record", Program::lamnet,
     [](Lines& l) { l.push_back("laboratory model, June"); }, 13, 1, 22, Severity::note,
     "trailing-text"},
    {"pipe count falls short", Program::lamnet,
     [](Lines& l) {
         l[0] = row({"4", "3", "2", "1", "97900."});
     },
     9, 1, 40, Severity::warning, "record-shape"},
    {"header typed with blanks between the numbers", Program::lamnet,
     [](Lines& l) { l[0] = "4 4 2 1 97900."; }, 1, 1, 14, Severity::warning, "free-form-record"},
    {"diameter larger than the pipe", Program::lamnet,
     [](Lines& l) {
         l[5] = row({"1", "1", "2", "90."});
     },
     6, 31, 40, Severity::warning, "diameter-vs-length"},
    {"millimetres for metres", Program::lamnet,
     [](Lines& l) {
         l[8] = row({"4", "4", "3", "20."});
     },
     9, 31, 40, Severity::warning, "diameter-outlier"},
    {"all inflows", Program::lamnet,
     [](Lines& l) {
         l[9] = pad("3", 10) + pad("0.6000", 12);
         l[10] = pad("4", 10) + pad("0.2000", 12);
     },
     1, 21, 30, Severity::warning, "all-inflows"},
    {"discharge outlier", Program::turbnet,
     [](Lines& l) { l[11] = pad("3", 10) + pad("-30.0000", 12); }, 12, 11, 22, Severity::warning,
     "discharge-outlier"},
};

class Findings : public ::testing::TestWithParam<FindingCase> {};

TEST_P(Findings, PointAtTheMistake) {
    const FindingCase& c = GetParam();
    Lines lines = c.program == Program::lamnet ? lamnet_loop() : turbnet_loop();
    c.edit(lines);
    check::CheckResult result = check_text(c.program, join(lines));
    bool found = false;
    for (const check::Finding& f : result.findings) {
        if (message_entry(f.message).code != c.code) continue;
        if (f.line == c.line && f.first_column == c.first_column &&
            f.last_column == c.last_column && f.severity == c.severity)
            found = true;
    }
    std::string all;
    for (const check::Finding& f : result.findings)
        all += std::to_string(f.line) + ':' + std::to_string(f.first_column) + '-' +
               std::to_string(f.last_column) + ' ' + std::string(message_entry(f.message).code) +
               ' ' + f.text + '\n';
    EXPECT_TRUE(found) << "findings:\n" << all;
}

INSTANTIATE_TEST_SUITE_P(OnePerMistake, Findings, ::testing::ValuesIn(finding_cases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

TEST(Findings, WorkedLoopsAreClean) {
    for (Program program : {Program::lamnet, Program::turbnet}) {
        Lines lines = program == Program::lamnet ? lamnet_loop() : turbnet_loop();
        check::CheckResult result = check_text(program, join(lines));
        EXPECT_TRUE(result.findings.empty()) << result.findings.front().text;
        EXPECT_EQ(result.errors + result.warnings + result.notes, 0);
        EXPECT_EQ(result.node_count, 4);
    }
}

// Values that fill their fields exactly, the next starting with its sign, are two numbers as
// read: neither an overrun nor a record of another shape. A number whose text
// across the boundary reads as one (the "number across a field boundary" case above) still is.
TEST(Findings, ValuesThatFillTheirFieldsAreNotOverruns) {
    struct Case {
        const char* name;
        std::size_t index;
        std::string line;
    };
    for (const Case& c : std::vector<Case>{
             {"discharge after its node number", 9, pad("3", 10) + "-.0006359492"},
             {"signed head after its node number", 11, pad("1", 10) + "+120.00000"},
             {"y with a sign", 2, pad("2", 10) + "  80.00000" + "-0.0000001"},
         }) {
        Lines lines = lamnet_loop();
        lines[c.index] = c.line;
        check::CheckResult result = check_text(Program::lamnet, join(lines));
        for (const check::Finding& f : result.findings) {
            const std::string_view code = message_entry(f.message).code;
            EXPECT_NE(code, "field-overrun") << c.name << ": " << f.text;
            EXPECT_NE(code, "record-shape") << c.name << ": " << f.text;
            EXPECT_NE(f.severity, Severity::error) << c.name << ": " << f.text;
        }
    }
}

// The advice names what single precision reaches for the network's size: 4 nodes reach
// 4.8e-7, typed as 0.0000005.
TEST(Findings, ToleranceAdviceFollowsTheNetworkSize) {
    Lines lines = turbnet_loop();
    lines[0] = row({"4", "5", "3", "1", "20", "0.0000001"}) + pad("130.", 15);
    check::CheckResult tight = check_text(Program::turbnet, join(lines));
    ASSERT_FALSE(tight.findings.empty());
    EXPECT_NE(tight.findings.front().text.find("for 4 nodes the rounding"), std::string::npos)
        << tight.findings.front().text;
    EXPECT_NE(tight.findings.front().text.find("about 0.0000005,"), std::string::npos)
        << tight.findings.front().text;
    lines[0] = row({"4", "5", "3", "1", "20", "0.01"}) + pad("130.", 15);
    check::CheckResult loose = check_text(Program::turbnet, join(lines));
    ASSERT_FALSE(loose.findings.empty());
    EXPECT_NE(loose.findings.front().text.find("for 4 nodes 0.0000005 is within reach"),
              std::string::npos)
        << loose.findings.front().text;
    EXPECT_EQ(loose.findings.front().text.find("sound choice"), std::string::npos);
}

TEST(Findings, RecordOfAnotherGroupIsReportedOnceNotFieldByField) {
    // With one pipe too few announced, pipe record 4 is read as a known discharge: its
    // diameter then lies past the discharge field, and its end node is read as a discharge
    // without a decimal point. One finding says what happened.
    Lines lines = lamnet_loop();
    lines[0] = row({"4", "3", "2", "1", "97900."});
    check::CheckResult result = check_text(Program::lamnet, join(lines));
    std::vector<std::string_view> on_line_9;
    for (const check::Finding& f : result.findings)
        if (f.line == 9) on_line_9.push_back(message_entry(f.message).code);
    EXPECT_EQ(on_line_9, std::vector<std::string_view>{"record-shape"});
}

TEST(Findings, NothingButTheConversionErrorOnARecordTheRunCannotRead) {
    Lines lines = lamnet_loop();
    lines[6] = row({"2", "2", "X", "0."}); // a letter for the end node, and a zero diameter
    check::CheckResult result = check_text(Program::lamnet, join(lines));
    std::vector<std::string_view> on_line_7;
    for (const check::Finding& f : result.findings)
        if (f.line == 7) on_line_7.push_back(message_entry(f.message).code);
    EXPECT_EQ(on_line_7, std::vector<std::string_view>{"not-a-number"});
}

TEST(Findings, ManyAreCountedButAFewHundredKept) {
    Lines lines = lamnet_loop();
    for (int i = 0; i < 1000; ++i) lines.push_back(row({"1", "120.0000"}));
    check::CheckResult result = check_text(Program::lamnet, join(lines));
    EXPECT_EQ(result.warnings, 1000);
    ASSERT_EQ(result.findings.size(), check::max_findings_kept + 1);
    EXPECT_EQ(result.findings.back().message, check::Message::findings_omitted);
    EXPECT_EQ(result.omitted, 1000 - static_cast<int>(check::max_findings_kept));
}

TEST(Findings, ProgramFromTheHeaderShape) {
    EXPECT_EQ(program_from_header(lamnet_loop()[0]), Program::lamnet);
    EXPECT_EQ(program_from_header(turbnet_loop()[0]), Program::turbnet);
    EXPECT_EQ(program_from_header("4,4,2,1,97900."), Program::lamnet);
    EXPECT_EQ(program_from_header("4,5,3,1,20,0.000001,130."), Program::turbnet);
    EXPECT_EQ(program_from_header(row({"4", "4", "2", "1", "9"})), std::nullopt);
    EXPECT_EQ(program_from_header(""), std::nullopt);
}

TEST(Findings, ProgramFromTheFirstLineOfAText) {
    const std::string lamnet = lamnet_loop()[0];
    const std::string turbnet = turbnet_loop()[0];
    struct Case {
        std::string text;
        std::optional<Program> program;
    };
    for (const Case& c : std::vector<Case>{
             {lamnet + "\n" + turbnet + "\n", Program::lamnet},
             {turbnet + "\r\n" + lamnet + "\r\n", Program::turbnet},
             {"\xEF\xBB\xBF" + lamnet + "\r\n", Program::lamnet},
             {turbnet, Program::turbnet},
             {"\n" + turbnet + "\n", std::nullopt},
             {"not a network\n", std::nullopt},
         })
        EXPECT_EQ(program_from_text(c.text), c.program) << c.text;
}

// check flags before a solve what the analysis warns of after one: the same code for each.
TEST(FindingCodes, PlausibilityCodesAreTheAnalysisOwn) {
    EXPECT_EQ(check::message_entry(check::Message::all_inflows).code,
              model::finding_entry(model::Code::all_inflows).code);
    EXPECT_EQ(check::message_entry(check::Message::discharge_outlier).code,
              model::finding_entry(model::Code::discharge_outlier).code);
    // And the same words, each value in its place.
    EXPECT_EQ(check::format_message(check::Message::all_inflows, {"4"}),
              model::make_finding(model::Code::all_inflows, {"4"}).text);
    const std::string outlier =
        check::format_message(check::Message::discharge_outlier, {"7", "-12.5", "0.1"});
    EXPECT_EQ(outlier,
              model::make_finding(model::Code::discharge_outlier, {"7", "-12.5", "0.1"}).text);
    EXPECT_NE(outlier.find("node 7 is -12.5,"), std::string::npos) << outlier;
    EXPECT_NE(outlier.find("others (0.1)"), std::string::npos) << outlier;
}

} // namespace
} // namespace pipenet::testing
