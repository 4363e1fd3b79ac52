// libFuzzer entry point: see fuzz/harness.hpp.
#include "fuzz/harness.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pipenet::fuzz::solve_file_on(data, size);
    return 0;
}
