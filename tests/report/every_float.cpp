// Writes every finite float, both signs, with shortest_text and with std::to_chars and counts the
// texts that differ (printing the first few): the whole of the float's fast path checked, in a
// few minutes of one processor, too long for the test suite.
//
//     every_float [FIRST LAST [STEP]]    the bit patterns FIRST <= b < LAST of positive floats
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "report/shortest_text.hpp"

int main(int argc, char** argv) {
    const auto argument = [&](int i, std::uint64_t fallback) {
        return argc > i ? std::strtoull(argv[i], nullptr, 0) : fallback;
    };
    const std::uint64_t first = argument(1, 0);
    const std::uint64_t last =
        argument(2, std::bit_cast<std::uint32_t>(std::numeric_limits<float>::infinity()));
    const std::uint64_t step = argument(3, 1);
    std::uint64_t differing = 0;
    std::uint64_t checked = 0;
    for (std::uint64_t bits = first; bits < last && step > 0; bits += step) {
        for (std::uint64_t sign : {std::uint64_t{0}, std::uint64_t{1} << 31}) {
            const auto value = std::bit_cast<float>(static_cast<std::uint32_t>(bits | sign));
            char expected[64], got[64];
            const char* expected_end = std::to_chars(expected, expected + 64, value).ptr;
            const char* got_end = pipenet::shortest_text(got, got + 64, value);
            ++checked;
            if (got_end == nullptr || got_end - got != expected_end - expected ||
                std::memcmp(got, expected, static_cast<std::size_t>(got_end - got)) != 0) {
                if (++differing <= 10)
                    std::printf("%.*s written as %.*s\n", static_cast<int>(expected_end - expected),
                                expected, got_end == nullptr ? 9 : static_cast<int>(got_end - got),
                                got_end == nullptr ? "(nothing)" : got);
            }
        }
    }
    std::printf("%llu floats, %llu differing\n", static_cast<unsigned long long>(checked),
                static_cast<unsigned long long>(differing));
    return differing == 0 && checked > 0 ? 0 : 1;
}
