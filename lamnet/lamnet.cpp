#include "lamnet/lamnet.hpp"

#include "engine/analysis.hpp"
#include "frontend/messages.hpp"
#include "frontend/print_results.hpp"
#include "network/read_input.hpp"
#include "report/layouts.hpp"

namespace pipenet {

namespace {

// The whole run's storage, one fixed block: nothing is allocated once the run has started.
struct LamnetRun {
    Network net;
    PipeFaults faults;
};

void analyse(RecordIo& io, LamnetRun& run) {
    read_input(io, Program::lamnet, run.net);
    const Outcome outcome = analyse_laminar(run.net, run.faults);
    switch (outcome.kind) {
    case OutcomeKind::refused:
        if (!is_pipe_fault(outcome.fault.code)) {
            write_fault(io, Program::lamnet, outcome.fault);
            return;
        }
        for (const Fault& fault : run.faults.list()) write_fault(io, Program::lamnet, fault);
        write_record(io, layouts::errors_prevent_analysis);
        return;
    case OutcomeKind::singular:
        write_record(io, layouts::singularity, outcome.row);
        write_record(io, layouts::errors_prevent_analysis);
        return;
    default:
        print_results(io, run.net, run.net.rhs);
    }
}

} // namespace

int run_lamnet(RecordIo& io) {
    try {
        LamnetRun run{};
        analyse(io, run);
        io.flush_report();
        return 0;
    } catch (const RunEnded& ended) {
        return ended.status;
    }
}

} // namespace pipenet
