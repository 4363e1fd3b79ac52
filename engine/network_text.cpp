#include "engine/network_text.hpp"

#include <memory>

#include "report/record_io.hpp"

namespace pipenet {

namespace {

class DiscardSink final : public ByteSink {
public:
    bool write(const char*, std::size_t) override { return true; }
};

} // namespace

int read_network_text(std::string_view text, Program program, Network& net) {
    // The reader echoes the records and ends a failed read through the record layer; here the
    // echo and the failure report go nowhere, and the failure becomes the returned number.
    DiscardSink discard;
    MemorySource input(text);
    MemorySource console(std::string_view{});
    auto io = std::make_unique<RecordIo>(discard, discard, console);
    io->use_input_source(input);
    try {
        read_input(*io, program, net);
    } catch (const RunEnded& ended) {
        return ended.status;
    }
    return 0;
}

} // namespace pipenet
