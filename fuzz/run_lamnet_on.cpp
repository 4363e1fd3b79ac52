#include "fuzz/checks.hpp"
#include "fuzz/harness.hpp"
#include "lamnet/lamnet.hpp"

namespace pipenet::fuzz {

void run_lamnet_on(const std::uint8_t* data, std::size_t size) {
    MemorySource file(reinterpret_cast<const char*>(data), size);
    MemorySource console(std::string_view{});
    ReportTail report;
    ErrorLines errors;
    RecordIo io(report, errors, console);
    io.use_input_source(file);
    int status = run_lamnet(io);
    check_run(status, report, errors, true);
}

} // namespace pipenet::fuzz
