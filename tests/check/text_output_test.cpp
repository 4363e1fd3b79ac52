// The whole human-readable output for a few files, written out by hand from the message formats:
// location, severity, message and code; the line; a marker under the columns; the summary.
#include <gtest/gtest.h>

#include "check/render.hpp"
#include "tests/check/fixtures.hpp"
#include "tests/report/test_streams.hpp"

namespace pipenet::testing {
namespace {

std::string text_output(const Lines& lines, check::RenderOptions options = {}) {
    check::CheckResult result = check_text(Program::lamnet, join(lines));
    std::string transcript;
    StringSink sink(transcript);
    {
        check::TextOutput out(sink);
        check::write_findings_text(out, "input-lin.dat", result, options);
    }
    return transcript;
}

Lines with_bare_diameter() {
    Lines lines = lamnet_loop();
    lines[5] = row({"1", "1", "2", "20"});
    return lines;
}

TEST(TextOutput, CleanFileIsOneLineWithTheCounts) {
    EXPECT_EQ(text_output(lamnet_loop()), "input-lin.dat: no problems found: lamnet input, 4 "
                                          "nodes, 4 pipes, 2 known discharges, 1 known head\n");
}

TEST(TextOutput, WarningWithItsLineAndMarker) {
    EXPECT_EQ(text_output(with_bare_diameter()),
              "input-lin.dat:6:31-40: warning: diameter has no decimal point: \"20\" is read as "
              "0.0002 (5 implied decimals) [implied-decimals]\n"
              "         1         1         2        20\n"
              "                              ^~~~~~~~~~\n"
              "input-lin.dat: 0 errors, 1 warning, 0 notes\n");
}

TEST(TextOutput, WerrorShowsWarningsAsErrorsAndAMissingLineHasNoMarker) {
    Lines lines = with_bare_diameter();
    lines.pop_back();
    EXPECT_EQ(text_output(lines, {.colour = false, .werror = true}),
              "input-lin.dat:6:31-40: error: diameter has no decimal point: \"20\" is read as "
              "0.0002 (5 implied decimals) [implied-decimals]\n"
              "         1         1         2        20\n"
              "                              ^~~~~~~~~~\n"
              "input-lin.dat:12: error: the file ends where known-head record 1 is expected (the "
              "header announces 1 known-head record): the run ends with an end-of-file failure "
              "[missing-record]\n"
              "input-lin.dat: 2 errors, 0 warnings, 0 notes\n");
}

TEST(TextOutput, ColoursMarkLocationSeverityAndMarker) {
    EXPECT_EQ(text_output(with_bare_diameter(), {.colour = true, .werror = false}),
              "\033[1minput-lin.dat:6:31-40:\033[0m \033[1;35mwarning:\033[0m diameter has no "
              "decimal point: \"20\" is read as 0.0002 (5 implied decimals) [implied-decimals]\n"
              "         1         1         2        20\n"
              "\033[1;32m                              ^~~~~~~~~~\033[0m\n"
              "input-lin.dat: 0 errors, 1 warning, 0 notes\n");
}

TEST(TextOutput, TabsAndOtherBytesTakeOneColumnInTheShownLine) {
    Lines lines = lamnet_loop();
    lines[1] = "\t1      0.00      0.00";
    std::string out = text_output(lines);
    EXPECT_NE(out.find("input-lin.dat:2:1: error: a TAB in node number ends the run with an input "
                       "conversion error; line up columns with blanks [tab]\n"
                       " 1      0.00      0.00\n"
                       "^\n"),
              std::string::npos)
        << out;
}

} // namespace
} // namespace pipenet::testing
