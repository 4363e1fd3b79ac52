#include "solve/messages.hpp"

#include <array>
#include <string_view>

namespace pipenet::solve {

namespace {

struct Entry {
    std::string_view code; // stable: tools match on it
    std::string_view severity;
    std::string_view text;
};

constexpr std::array<Entry, 10> texts{{
    {"end-of-file", "error", "the file ends before all the records its counts announce"},
    {"not-a-number-field", "error", "a field holds something that is not a number"},
    {"unreadable-records", "error", "the file does not hold a network's records (failure {})"},
    {"balance-off", "warning",
     "the balance of node {} is off by {}, more than 1 % of the largest given discharge ({})"},
    {"renumbered", "note",
     "analysed with the nodes renumbered: half-bandwidth {} instead of {}; results under the "
     "file's own numbers"},
    {"not-renumbered", "warning", "not renumbered: {}"},
    {"not-converged", "error",
     "the iteration limit was reached before the residual met the tolerance"},
    {"head-not-a-number", "error", "a head came out as not a number"},
    {"band-too-large", "error",
     "the band of {} equations and half-bandwidth {} does not fit in memory (--renumber may "
     "narrow it)"},
    {"renumbered-row", "note", "row {} of the renumbered system is node {} of the file"},
}};

} // namespace

Message message(Text text, std::initializer_list<std::string> arguments) {
    const Entry& entry = texts[static_cast<std::size_t>(text)];
    std::string_view pattern = entry.text;
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
    return {std::string(entry.severity), std::string(entry.code), out};
}

} // namespace pipenet::solve
