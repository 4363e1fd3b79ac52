// One fault, one code: what pipenet solve says of a file that it cannot read or analyse carries
// the code pipenet check gives the same fault, in either arithmetic.
#include <functional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "solve/solve_network.hpp"
#include "tests/check/fixtures.hpp"

namespace pipenet::testing {
namespace {

struct FaultCase {
    const char* name;
    std::function<void(Lines&)> edit; // applied to lamnet's worked loop
    const char* code;                 // the input check's code for the fault
};

std::set<std::string> check_errors(const std::string& text) {
    std::set<std::string> codes;
    for (const check::Finding& f : check_text(Program::lamnet, text).findings)
        if (f.severity == check::Severity::error)
            codes.emplace(check::message_entry(f.message).code);
    return codes;
}

std::set<std::string> solve_errors(const std::string& text, solve::Arithmetic arithmetic) {
    solve::SolveSettings settings;
    settings.arithmetic = arithmetic;
    std::set<std::string> codes;
    for (const solve::Message& m :
         solve::solve_network("input-lin.dat", text, Program::lamnet, settings).messages)
        if (m.severity == "error") codes.insert(m.code);
    return codes;
}

// Lines of the loop: 0 header, 1-4 nodes (a rectangle of 80 x 60), 5-8 pipes, 9-10 known
// discharges, 11 the known head.
const FaultCase fault_cases[] = {
    {"the file ends early", [](Lines& l) { l.pop_back(); }, "missing-record"},
    {"a letter in a number",
     [](Lines& l) {
         l[2] = row({"2", "8O.00", "0.00"});
     },
     "not-a-number"},
    {"two ends at one point",
     [](Lines& l) {
         l[3] = row({"3", "80.00", "0.00"});
     },
     "zero-length"},
    {"a pipe from a node to itself",
     [](Lines& l) {
         l[6] = row({"2", "2", "2", "0.15000"});
     },
     "same-node-pipe"},
    {"a diameter of 0",
     [](Lines& l) {
         l[5] = row({"1", "1", "2", "0.00000"});
     },
     "bad-diameter"},
    {"a pipe end beyond the nodes",
     [](Lines& l) {
         l[8] = row({"4", "9", "3", "0.20000"});
     },
     "number-out-of-range"},
};

TEST(SameCodes, SolveNamesAFaultAsCheckDoes) {
    for (const FaultCase& c : fault_cases) {
        SCOPED_TRACE(c.name);
        Lines lines = lamnet_loop();
        c.edit(lines);
        const std::string text = join(lines);
        const std::set<std::string> checked = check_errors(text);
        EXPECT_TRUE(checked.contains(c.code));
        for (solve::Arithmetic arithmetic :
             {solve::Arithmetic::programs, solve::Arithmetic::double_precision}) {
            const std::set<std::string> solved = solve_errors(text, arithmetic);
            EXPECT_TRUE(solved.contains(c.code)) << static_cast<int>(arithmetic);
            // Nothing solve reports as an error is a code check does not give for the file.
            for (const std::string& code : solved)
                EXPECT_TRUE(checked.contains(code)) << code << " " << static_cast<int>(arithmetic);
        }
    }
}

} // namespace
} // namespace pipenet::testing
