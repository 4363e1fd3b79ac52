// The by-hand checkers' comparison of shortest_text with the library's shortest text.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "report/shortest_text.hpp"

namespace pipenet::testing {

// Counts the values written and those whose texts differ, printing the first ten of those.
struct TextComparison {
    std::uint64_t checked = 0;
    std::uint64_t differing = 0;

    template <typename Real>
    void check(Real value) {
        char expected[64], got[64];
        const char* expected_end = std::to_chars(expected, expected + 64, value).ptr;
        const char* got_end = shortest_text(got, got + 64, value);
        ++checked;
        if (got_end != nullptr && got_end - got == expected_end - expected &&
            std::memcmp(got, expected, static_cast<std::size_t>(got_end - got)) == 0)
            return;
        if (++differing <= 10)
            std::printf("%.*s written as %.*s\n", static_cast<int>(expected_end - expected),
                        expected, got_end == nullptr ? 9 : static_cast<int>(got_end - got),
                        got_end == nullptr ? "(nothing)" : got);
    }

    // The summary line and the exit status: 0 only when values were checked and none differed.
    int finish(const char* what) const {
        std::printf("%llu %s, %llu differing\n", static_cast<unsigned long long>(checked), what,
                    static_cast<unsigned long long>(differing));
        return differing == 0 && checked > 0 ? 0 : 1;
    }
};

} // namespace pipenet::testing
