#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "../fem/memory_report.hpp"
#include "network/half_bandwidth.hpp"
#include "report/layouts.hpp"

namespace pipenet {
namespace {

using Pipe = std::pair<std::int32_t, std::int32_t>;

struct BandCase {
    const char* name;
    std::vector<Pipe> pipes;
    std::int32_t expected;
};

void PrintTo(const BandCase& c, std::ostream* os) {
    *os << c.name;
}

class HalfBandwidth : public ::testing::TestWithParam<BandCase> {};

TEST_P(HalfBandwidth, IsWidestPipePlusOne) {
    const BandCase& c = GetParam();
    FixedNetwork net{};
    net.element_count = static_cast<std::int32_t>(c.pipes.size());
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        net.connectivity(1, e) = c.pipes[static_cast<std::size_t>(e - 1)].first;
        net.connectivity(2, e) = c.pipes[static_cast<std::size_t>(e - 1)].second;
    }
    EXPECT_EQ(half_bandwidth(net), c.expected);
}

constexpr std::int32_t int_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t int_min = std::numeric_limits<std::int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Cases, HalfBandwidth,
    ::testing::Values(
        BandCase{"consecutive_nodes", {{1, 2}, {2, 3}, {3, 4}, {4, 5}}, 2},
        BandCase{"one_to_twenty_one", {{1, 21}}, 21}, BandCase{"one_to_twenty", {{1, 20}}, 20},
        BandCase{"descending_pipe", {{7, 3}}, 5}, BandCase{"ascending_pipe", {{3, 7}}, 5},
        BandCase{"pipe_to_itself", {{4, 4}, {9, 9}}, 1}, BandCase{"no_elements", {}, 1},
        BandCase{"widest_first", {{1, 9}, {2, 3}, {3, 4}}, 9},
        BandCase{"widest_in_middle", {{1, 2}, {12, 3}, {3, 4}}, 10},
        BandCase{"widest_last", {{1, 2}, {2, 3}, {5, 19}}, 15},
        // A node number of 0 or below takes part unchanged.
        BandCase{"node_zero", {{0, 4}}, 5}, BandCase{"negative_node", {{-3, 2}}, 6},
        // Differences beyond 32 bits saturate instead of wrapping to a small or negative width.
        BandCase{"largest_representable", {{1, int_max}}, int_max},
        BandCase{"difference_beyond_32_bits", {{int_min, int_max}}, int_max},
        BandCase{"just_beyond_32_bits", {{0, int_max}}, int_max}),
    [](const ::testing::TestParamInfo<BandCase>& info) { return std::string(info.param.name); });

// Elements beyond the capacity were never stored; the width comes from the stored ones only.
TEST(HalfBandwidthCapacity, CountsOnlyStoredElements) {
    FixedNetwork net{};
    net.element_count = max_elements + 50;
    for (std::int32_t e = 1; e <= max_elements; ++e) {
        net.connectivity(1, e) = e;
        net.connectivity(2, e) = e + 1;
    }
    net.connectivity(2, max_elements) = max_elements + 4; // the widest stored pipe: 5 apart
    EXPECT_EQ(half_bandwidth(net), 5);
}

// The reader's echo of the width: the line stands framed by an empty line on either side, the width
// in five columns.
TEST(HalfBandwidthLine, IsFramedWithWidthInFiveColumns) {
    struct LineCase {
        Pipe pipe;
        std::string expected;
    };
    const LineCase cases[] = {
        {{1, 21}, "\n---- half-bandwidth is equal to   21 ----\n\n"},
        {{3, 3}, "\n---- half-bandwidth is equal to    1 ----\n\n"},
        {{1, 12346}, "\n---- half-bandwidth is equal to12346 ----\n\n"},
    };
    for (const LineCase& c : cases) {
        auto out = testing::MemoryReport::make();
        FixedNetwork net{};
        net.element_count = 1;
        net.connectivity(1, 1) = c.pipe.first;
        net.connectivity(2, 1) = c.pipe.second;
        write_record(out->io, layouts::half_band_line, half_bandwidth(net));
        EXPECT_EQ(out->text(), c.expected) << c.pipe.first << "-" << c.pipe.second;
        EXPECT_EQ(out->errors, "");
    }
}

} // namespace
} // namespace pipenet
