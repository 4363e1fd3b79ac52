#include "fuzz/checks.hpp"
#include "fuzz/harness.hpp"
#include "lamnet/lamnet.hpp"

namespace pipenet::fuzz {

void run_lamnet_on(const std::uint8_t* data, std::size_t size) {
    run_and_check(run_lamnet, {reinterpret_cast<const char*>(data), size}, {}, true);
}

} // namespace pipenet::fuzz
