// Console control events (control-C, control-BREAK, the console closing) end the run with a
// failure report: a dedicated thread waits for SIGINT, SIGQUIT and SIGHUP and, when one
// arrives, flushes the report, writes the failure report and exits with 128 + the signal.
#pragma once

#include "report/record_io.hpp"

namespace pipenet {

class ConsoleEvents {
public:
    // Blocks the three signals in the calling thread (and so in every thread it starts) and
    // starts the waiting thread. Construct it first thing in main.
    explicit ConsoleEvents(RecordIo& io);
    ConsoleEvents(const ConsoleEvents&) = delete;
    ConsoleEvents& operator=(const ConsoleEvents&) = delete;

private:
    RecordIo& io_;
};

} // namespace pipenet
