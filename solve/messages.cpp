#include "solve/messages.hpp"

#include <array>
#include <string_view>

namespace pipenet::solve {

namespace {

constexpr std::array<std::string_view, 10> texts{
    "the file ends before all the records its counts announce",
    "a field holds something that is not a number",
    "the file does not hold a network's records (failure {})",
    "the balance of node {} is off by {}, more than 1 % of the largest given discharge ({})",
    "analysed with the nodes renumbered: half-bandwidth {} instead of {}; results under the "
    "file's own numbers",
    "not renumbered: {}",
    "the iteration limit was reached before the residual met the tolerance",
    "a head came out as not a number",
    "the band of {} equations and half-bandwidth {} does not fit in memory (--renumber may "
    "narrow it)",
    "row {} of the renumbered system is node {} of the file",
};

} // namespace

std::string message(Text text, std::initializer_list<std::string> arguments) {
    std::string_view pattern = texts[static_cast<std::size_t>(text)];
    std::string out;
    auto next = arguments.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '{' && i + 1 < pattern.size() && pattern[i + 1] == '}' &&
            next != arguments.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

} // namespace pipenet::solve
