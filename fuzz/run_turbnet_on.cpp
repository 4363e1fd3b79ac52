#include "fuzz/checks.hpp"
#include "fuzz/harness.hpp"
#include "turbnet/turbnet.hpp"

namespace pipenet::fuzz {

void run_turbnet_on(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return;
    std::size_t console_length = data[0];
    if (console_length > size - 1) console_length = size - 1;
    std::string_view console_text(reinterpret_cast<const char*>(data + 1), console_length);
    std::vector<char> file(data + 1 + console_length, data + size);

    // Bound the run: columns 41-50 of the first line, the iteration limit, hold one digit.
    std::size_t line_end = 0;
    while (line_end < file.size() && file[line_end] != '\n') ++line_end;
    if (line_end > 0 && file[line_end - 1] == '\r') --line_end;
    for (std::size_t i = 0; i < line_end && i < 40; ++i)
        if (file[i] == ',') file[i] = ' ';
    if (line_end > 40) {
        std::size_t last = line_end < 50 ? line_end : 50;
        for (std::size_t i = 40; i < last; ++i) file[i] = ' ';
        file[last - 1] = static_cast<char>('0' + data[0] % 10);
    }

    run_and_check(run_turbnet, {file.data(), file.size()}, console_text, false);
}

} // namespace pipenet::fuzz
