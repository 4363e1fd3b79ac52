#include "frontend/program_reports.hpp"

#include "fem/nodal_balance.hpp"
#include "frontend/messages.hpp"
#include "frontend/print_results.hpp"
#include "network/read_input.hpp"
#include "report/layouts.hpp"
#include "report/notices.hpp"

namespace pipenet {

namespace {

// Prints each pass: its heading and table when the print flag asks for them, and between them
// the empty line that ends every assembly.
class PassTables final : public PassObserver {
public:
    PassTables(RecordIo& io, std::int32_t print_flag) : io_(io), print_flag_(print_flag) {}

    void pass(const Pass& pass) override {
        if (print_flag_ > 0) write_record(io_, layouts::pass_header, pass.number);
        write_empty_record(io_);
        if (print_flag_ <= 0) return;
        for (std::int32_t i = 1; i <= pass.equation_count; ++i)
            write_record(io_, layouts::pass_row, i, pass.heads(i), pass.total_vector(i),
                         pass.computed_vector(i));
    }
    void residual(std::int32_t, float) override {}

private:
    RecordIo& io_;
    std::int32_t print_flag_;
};

// A node far off its given discharge is worth a warning beside the report.
void warn_of_imbalance(RecordIo& io, const Network& net, Notice notice) {
    const BalanceCheck balance = check_nodal_balance(net, nodal_discharge_resolution);
    if (balance.off())
        write_balance_notice(io, notice, balance.node, balance.computed, balance.given,
                             balance.allowed);
}

} // namespace

void report_laminar(RecordIo& io, Network& net, PipeFaults& faults) {
    read_input(io, Program::lamnet, net);
    const Outcome outcome = analyse_laminar(net, faults);
    switch (outcome.kind) {
    case OutcomeKind::refused:
        if (!is_pipe_fault(outcome.fault.code)) {
            write_fault(io, Program::lamnet, outcome.fault);
            return;
        }
        for (const Fault& fault : faults.list()) write_fault(io, Program::lamnet, fault);
        write_record(io, layouts::errors_prevent_analysis);
        return;
    case OutcomeKind::singular:
        write_record(io, layouts::singularity, outcome.row);
        write_record(io, layouts::errors_prevent_analysis);
        return;
    default:
        print_results(io, net, net.rhs);
        warn_of_imbalance(io, net, Notice::lamnet_balance_off);
    }
}

void report_turbulent(RecordIo& io, Network& net, TurbulentState& state, PipeFaults& faults) {
    read_input(io, Program::turbnet, net);
    const Outcome first = turbulent_first_solution(net, state, faults);
    if (first.kind == OutcomeKind::refused) {
        if (!is_pipe_fault(first.fault.code)) {
            write_fault(io, Program::turbnet, first.fault);
            return;
        }
        for (const Fault& fault : faults.list()) write_fault(io, Program::turbnet, fault);
        write_record(io, layouts::errors_in_initial_solution);
        return;
    }
    write_empty_record(io); // the end of the first assembly
    if (first.kind == OutcomeKind::singular) write_record(io, layouts::singularity, first.row);

    // The print flag is read whatever the first solve gave. The console read writes out the
    // report so far; a person at a terminal is also told what is awaited.
    if (io.console_is_terminal()) write_notice(io, Notice::print_flag_prompt);
    const std::int32_t print_flag =
        LayoutReader(io, stdin_unit, layouts::print_flag_record).get_integer();
    if (first.kind == OutcomeKind::singular) {
        write_record(io, layouts::errors_in_initial_solution);
        return;
    }

    write_record(io, layouts::separator);
    PassTables tables(io, print_flag);
    const Outcome outcome = turbulent_passes(net, state, tables);
    if (outcome.kind == OutcomeKind::singular) {
        write_record(io, layouts::singularity, outcome.row);
        write_record(io, layouts::error_in_iterations);
        return;
    }
    if (outcome.converged) {
        write_record(io, layouts::convergence_achieved, outcome.passes);
    } else {
        write_record(io, layouts::iteration_limit_reached);
    }
    print_results(io, net, state.total_heads);
    warn_of_imbalance(io, net, Notice::turbnet_balance_off);
}

} // namespace pipenet
