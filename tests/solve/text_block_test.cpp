#include "solve/text_block.hpp"

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace pipenet::solve {
namespace {

std::string integer_text(std::int64_t number) {
    std::string text;
    {
        TextBlock block(text);
        block.room(24);
        block.put_integer(number);
    }
    return text;
}

TEST(TextBlock, WritesIntegersAsTheirDecimalDigits) {
    // Each side of the lengths the short way writes, and those left to the library.
    for (const std::int64_t number :
         std::initializer_list<std::int64_t>{0,
                                             1,
                                             9,
                                             10,
                                             11,
                                             99,
                                             100,
                                             101,
                                             909,
                                             999,
                                             1000,
                                             1001,
                                             9099,
                                             9999,
                                             10000,
                                             10001,
                                             -1,
                                             -9,
                                             -10,
                                             -9999,
                                             -10000,
                                             std::int64_t{std::numeric_limits<std::int32_t>::max()},
                                             std::int64_t{std::numeric_limits<std::int32_t>::min()},
                                             std::numeric_limits<std::int64_t>::min()})
        EXPECT_EQ(integer_text(number), std::to_string(number));
}

// Thousands of numbers through one block, flushed as it fills, each followed by a separator:
// a digit too many or too few shows up as text that differs.
TEST(TextBlock, WritesEveryIntegerOfTheShortWayInARow) {
    std::string text, expected;
    {
        TextBlock block(text);
        for (std::int64_t number = -100; number <= 20000; ++number) {
            block.room(25);
            block.put_integer(number);
            block.put(',');
            expected += std::to_string(number) + ',';
        }
    }
    EXPECT_EQ(text, expected);
}

} // namespace
} // namespace pipenet::solve
