// Writes every finite float, both signs, with shortest_text and with std::to_chars and counts the
// texts that differ (printing the first few): the whole of the float's fast path checked, in a
// few minutes of one processor, too long for the test suite.
//
//     every_float [FIRST LAST [STEP]]    the bit patterns FIRST <= b < LAST of positive floats
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <limits>

#include "text_comparison.hpp"

int main(int argc, char** argv) {
    const auto argument = [&](int i, std::uint64_t fallback) {
        return argc > i ? std::strtoull(argv[i], nullptr, 0) : fallback;
    };
    const std::uint64_t first = argument(1, 0);
    const std::uint64_t last =
        argument(2, std::bit_cast<std::uint32_t>(std::numeric_limits<float>::infinity()));
    const std::uint64_t step = argument(3, 1);
    pipenet::testing::TextComparison comparison;
    for (std::uint64_t bits = first; bits < last && step > 0; bits += step)
        for (std::uint64_t sign : {std::uint64_t{0}, std::uint64_t{1} << 31})
            comparison.check(std::bit_cast<float>(static_cast<std::uint32_t>(bits | sign)));
    return comparison.finish("floats");
}
