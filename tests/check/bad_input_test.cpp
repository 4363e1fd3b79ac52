// Files no one would write on purpose: the check ends normally on each, and what it allocates
// does not grow with a count it has no records for, nor with the length of a line.
#include <gtest/gtest.h>
#include <random>

#include "tests/check/fixtures.hpp"
#include "tests/fem/allocation_counter.hpp"

namespace pipenet::testing {
namespace {

using check::message_entry;

bool has_code(const check::CheckResult& result, std::string_view code) {
    for (const auto& f : result.findings)
        if (message_entry(f.message).code == code) return true;
    return false;
}

long allocations_checking(Program program, const std::string& bytes) {
    MemoryOpener opener(bytes);
    check::CheckResult result;
    AllocationWindow window;
    check::check_input(program, opener, nullptr, result);
    return window.stop();
}

TEST(BadInput, EmptyFileIsAMissingHeader) {
    check::CheckResult result = check_text(Program::lamnet, "");
    ASSERT_EQ(result.findings.size(), 1u);
    EXPECT_EQ(result.findings[0].line, 1);
    EXPECT_EQ(message_entry(result.findings[0].message).code, "missing-record");
    EXPECT_EQ(result.errors, 1);
}

TEST(BadInput, BinaryJunkEndsInFindings) {
    std::mt19937 random(11);
    std::string junk(1 << 16, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    for (Program program : {Program::lamnet, Program::turbnet}) {
        check::CheckResult result = check_text(program, junk);
        EXPECT_GE(result.errors, 1);
        EXPECT_LE(result.findings.size(), check::max_findings_kept + 1);
    }
}

TEST(BadInput, HugeCountAllocatesNoMoreThanASmallOne) {
    Lines small = lamnet_loop();
    small[0] = row({"7", "4", "2", "1", "97900."});
    Lines huge = lamnet_loop();
    huge[0] = row({"2147483647", "4", "2", "1", "97900."});
    check::CheckResult result = check_text(Program::lamnet, join(huge));
    EXPECT_TRUE(has_code(result, "capacity"));
    EXPECT_TRUE(has_code(result, "missing-record"));
    const long for_small = allocations_checking(Program::lamnet, join(small));
    const long for_huge = allocations_checking(Program::lamnet, join(huge));
    EXPECT_LE(for_huge, for_small + 20) << for_small << " against " << for_huge;
}

TEST(BadInput, TenMegabyteLineAllocatesLikeAThousandCharacterOne) {
    Lines lines = lamnet_loop();
    std::string short_tail = lines[5] + ' ' + std::string(1000, 'x');
    std::string long_tail = lines[5] + ' ' + std::string(10 << 20, 'x');
    lines[5] = short_tail;
    const long for_short = allocations_checking(Program::lamnet, join(lines));
    lines[5] = long_tail;
    check::CheckResult result = check_text(Program::lamnet, join(lines));
    EXPECT_TRUE(has_code(result, "text-after-fields"));
    const long for_long = allocations_checking(Program::lamnet, join(lines));
    EXPECT_EQ(for_long, for_short);
}

TEST(BadInput, CountsBelowOneReadNoRecordsButTurbnetsOneNodeRecord) {
    Lines lines = turbnet_loop();
    lines[0] = row({"-5", "-1", "-1", "-1", "20", "0.000001"}) + pad("130.", 15);
    check::CheckResult result = check_text(Program::turbnet, join(lines));
    EXPECT_TRUE(has_code(result, "no-nodes"));
    // Line 2 went to the node group; every later line is after the last record.
    EXPECT_TRUE(has_code(result, "trailing-record"));
    for (const auto& f : result.findings) EXPECT_GT(f.line, 0) << f.text;
}

} // namespace
} // namespace pipenet::testing
