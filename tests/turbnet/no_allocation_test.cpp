// A whole turbulent run on a full-capacity network allocates nothing.
#include <string>

#include <gtest/gtest.h>

#include "../fem/allocation_counter.hpp"
#include "../fem/full_capacity.hpp"
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

TEST(TurbnetAllocation, WholeRunAllocatesNothing) {
    const std::string input = testing::input_file(testing::full_capacity_network(), true);
    auto report = std::make_unique<ReservedSink>(1 << 20);
    auto errors = std::make_unique<ReservedSink>(1 << 12);
    auto console = std::make_unique<MemorySource>(std::string_view{"1\n"});
    auto source = std::make_unique<MemorySource>(input);
    auto io = std::make_unique<RecordIo>(*report, *errors, *console);
    io->use_input_source(*source);

    testing::AllocationWindow window;
    const int status = run_turbnet(*io);
    const long allocations = window.stop();

    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors->text, "");
    EXPECT_NE(report->text.find("---- half-bandwidth is equal to   20 ----"), std::string::npos);
    EXPECT_NE(report->text.find("\n  results\n"), std::string::npos) << report->text;
}

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
