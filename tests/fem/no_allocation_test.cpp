// A whole run of either program on a full-capacity network allocates nothing.
#include <algorithm>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "allocation_counter.hpp"
#include "full_capacity.hpp"
#include "lamnet/lamnet.hpp"
#include "turbnet/turbnet.hpp"

namespace pipenet {
namespace {

// Keeps the report in storage reserved before the run.
class ReservedSink final : public ByteSink {
public:
    explicit ReservedSink(std::size_t capacity) { text.reserve(capacity); }
    bool write(const char* data, std::size_t size) override {
        text.append(data, size);
        return true;
    }
    std::string text;
};

struct WholeRun {
    const char* name;
    int (*run)(RecordIo&);
    bool turbulent;           // which input file layout
    std::string_view console; // the print flag line
};

// The program's name where a test lists its parameter, not the struct's bytes.
void PrintTo(const WholeRun& run, std::ostream* out) {
    *out << run.name;
}

class NoAllocation : public ::testing::TestWithParam<WholeRun> {};

TEST_P(NoAllocation, WholeRunAllocatesNothing) {
    const WholeRun& program = GetParam();
    const std::string input =
        testing::input_file(testing::full_capacity_network(), program.turbulent);
    auto report = std::make_unique<ReservedSink>(1 << 20);
    auto errors = std::make_unique<ReservedSink>(1 << 12);
    auto console = std::make_unique<MemorySource>(program.console);
    auto source = std::make_unique<MemorySource>(input);
    auto io = std::make_unique<RecordIo>(*report, *errors, *console);
    io->use_input_source(*source);

    testing::AllocationWindow window;
    const int status = program.run(*io);
    const long allocations = window.stop();

    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(status, 0);
    // The network's draws are small beside its flows, so single precision leaves some nodes far
    // off them: the balance warning is written too, and must not allocate either.
    EXPECT_EQ(errors->text.rfind(std::string(program.name) + ": warning: nodal balance off", 0), 0u)
        << errors->text;
    EXPECT_EQ(std::count(errors->text.begin(), errors->text.end(), '\n'), 1) << errors->text;
    EXPECT_NE(report->text.find("---- half-bandwidth is equal to   20 ----"), std::string::npos);
    EXPECT_NE(report->text.find("\n  results\n"), std::string::npos) << report->text;
}

INSTANTIATE_TEST_SUITE_P(Programs, NoAllocation,
                         ::testing::Values(WholeRun{"lamnet", run_lamnet, false, ""},
                                           WholeRun{"turbnet", run_turbnet, true, "1\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The counter itself sees an allocation made inside its window.
TEST(AllocationCounter, SeesAnAllocation) {
    testing::AllocationWindow window;
    auto buffer = std::make_unique<std::string>(100, 'x');
    const long allocations = window.stop();
    EXPECT_GE(allocations, 1);
    EXPECT_EQ(buffer->size(), 100u);
}

} // namespace
} // namespace pipenet
