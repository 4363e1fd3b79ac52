// libFuzzer entry point: see fuzz/harness.hpp.
#include "fuzz/harness.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pipenet::fuzz::read_inp_file(data, size);
    return 0;
}
