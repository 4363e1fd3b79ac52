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

    bound_iteration_limit(file, static_cast<char>('0' + data[0] % 10));

    run_and_check(run_turbnet, {file.data(), file.size()}, console_text, false);
}

} // namespace pipenet::fuzz
