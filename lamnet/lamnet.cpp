#include "lamnet/lamnet.hpp"

#include "engine/analysis.hpp"
#include "frontend/program_reports.hpp"

namespace pipenet {

namespace {

// The whole run's storage, one fixed block: nothing is allocated once the run has started.
struct LamnetRun {
    FixedNetwork net;
    FixedPipeFaults faults;
};

} // namespace

int run_lamnet(RecordIo& io) {
    try {
        LamnetRun run{};
        report_laminar(io, run.net, run.faults);
        io.flush_report();
        return 0;
    } catch (const RunEnded& ended) {
        return ended.status;
    }
}

} // namespace pipenet
