// Writes random doubles, both signs, with shortest_text and with std::to_chars and counts the
// texts that differ (printing the first few): random bit patterns, results of arithmetic of the
// sizes networks hold, and decimals of 1 to 17 digits read back, by the hundred million, too long
// for the test suite.
//
//     random_doubles [COUNT [SEED]]    COUNT values of each kind (default 10^8)
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>

#include "report/shortest_text.hpp"

namespace {

std::uint64_t differing = 0;
std::uint64_t checked = 0;

void check(double value) {
    if (!std::isfinite(value)) return;
    for (double v : {value, -value}) {
        char expected[64], got[64];
        const char* expected_end = std::to_chars(expected, expected + 64, v).ptr;
        const char* got_end = pipenet::shortest_text(got, got + 64, v);
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

} // namespace

int main(int argc, char** argv) {
    const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 0) : 100000000;
    std::mt19937_64 random(argc > 2 ? std::strtoull(argv[2], nullptr, 0) : 1);
    std::uniform_real_distribution<double> exponent(-9.0, 17.0);
    std::uniform_int_distribution<int> digits(1, 17);
    std::uniform_int_distribution<int> power(-325, 308);
    for (std::uint64_t i = 0; i < count; ++i) {
        check(std::bit_cast<double>(random()));
        // A quotient of two such values, as the results of an analysis are made.
        check(std::pow(10.0, exponent(random)) / std::pow(10.0, exponent(random)));
        const int n = digits(random);
        const std::uint64_t m =
            random() % 100000000000000000 % static_cast<std::uint64_t>(std::pow(10.0, n)) + 1;
        const std::string text = std::to_string(m) + "e" + std::to_string(power(random));
        double typed = 0;
        std::from_chars(text.data(), text.data() + text.size(), typed);
        check(typed);
    }
    std::printf("%llu doubles, %llu differing\n", static_cast<unsigned long long>(checked),
                static_cast<unsigned long long>(differing));
    return differing == 0 && checked > 0 ? 0 : 1;
}
