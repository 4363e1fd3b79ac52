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
#include <cstdlib>
#include <random>
#include <string>

#include "text_comparison.hpp"

namespace {

pipenet::testing::TextComparison comparison;

void check(double value) {
    if (!std::isfinite(value)) return;
    comparison.check(value);
    comparison.check(-value);
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
    return comparison.finish("doubles");
}
