#include "turbnet/turbnet.hpp"

#include "engine/analysis.hpp"
#include "frontend/program_reports.hpp"

namespace pipenet {

namespace {

// The whole run's storage, one fixed block: nothing is allocated once the run has started.
struct TurbnetRun {
    FixedNetwork net;
    FixedTurbulentState state;
    FixedPipeFaults faults;
};

} // namespace

int run_turbnet(RecordIo& io) {
    try {
        TurbnetRun run{};
        report_turbulent(io, run.net, run.state, run.faults);
        io.flush_report();
        return 0;
    } catch (const RunEnded& ended) {
        return ended.status;
    }
}

} // namespace pipenet
