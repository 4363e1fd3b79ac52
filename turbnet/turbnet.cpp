#include "turbnet/turbnet.hpp"

#include <cmath>

#include "fem/assemble.hpp"
#include "fem/nodal_balance.hpp"
#include "fem/prescribed_heads.hpp"
#include "fem/solve_banded.hpp"
#include "network/checks.hpp"
#include "network/read_input.hpp"
#include "report/layouts.hpp"
#include "report/notices.hpp"
#include "report/print_results.hpp"
#include "turbnet/turbulent.hpp"

namespace pipenet {

namespace {

constexpr float flow_exponent = 0.54f;

// The iteration's own vectors, beside the network model.
struct Iteration {
    EquationReals total_heads;    // current heads: first solution plus every correction
    EquationReals total_vector;   // load of the current pass, known heads imposed
    EquationReals discharge_copy; // the nodal discharges as read
    std::int32_t print_flag = 0;
    std::int32_t iteration_count = 0;
    float residual_ratio = 0.0f;
    std::int32_t floating_row = 0;
};

// Assembles the band from the secant conductances at the current heads; every assembly of this
// program ends with an empty line.
void assemble(RecordIo& io, Network& net, Iteration& it) {
    assemble_global(net, it.total_heads, turbulent_element);
    write_empty_record(io);
}

// Forms the residual load - band * heads in rhs and the relative residual of the pass. Returns
// true when the pass has converged.
bool residual_converged(Network& net, Iteration& it) {
    float sum_of_squares = 0.0f;
    float sum_of_magnitudes = 0.0f;
    for (std::int32_t i = 1; i <= net.equation_count; ++i) {
        net.rhs(i) = static_cast<float>(double{it.total_vector(i)} - double{net.rhs(i)});
        double r = net.rhs(i);
        sum_of_squares = static_cast<float>(double{sum_of_squares} + r * r);
        sum_of_magnitudes =
            static_cast<float>(double{sum_of_magnitudes} + std::fabs(double{it.total_vector(i)}));
    }
    it.residual_ratio =
        static_cast<float>(std::sqrt(double{sum_of_squares}) / double{sum_of_magnitudes});
    // A zero load with a zero residual is converged; any other NaN ratio is not.
    bool zero_load = sum_of_squares == 0.0f && sum_of_magnitudes == 0.0f;
    return it.residual_ratio <= net.tolerance || zero_load;
}

// One pass: take over the correction, rebuild the system at the new heads, and test the
// residual. Returns true when the pass has converged.
bool pass_converges(RecordIo& io, Network& net, Iteration& it) {
    for (std::int32_t i = 1; i <= net.equation_count; ++i)
        it.total_heads(i) = static_cast<float>(double{it.total_heads(i)} + double{net.rhs(i)});
    if (it.print_flag > 0) write_record(io, layouts::pass_header, it.iteration_count);
    assemble(io, net, it);
    for (std::int32_t i = 1; i <= net.equation_count; ++i)
        it.total_vector(i) = it.discharge_copy(i);
    apply_prescribed_heads(net, it.total_vector);
    band_product(net, it.total_heads, net.rhs);
    if (it.print_flag > 0) {
        for (std::int32_t i = 1; i <= net.equation_count; ++i)
            write_record(io, layouts::pass_row, i, it.total_heads(i), it.total_vector(i),
                         net.rhs(i));
    }
    return residual_converged(net, it);
}

void analyse(RecordIo& io, Network& net, Iteration& it) {
    // 1. Read and echo the network; 2. refuse what exceeds the storage or the counts.
    read_input(io, Program::turbnet, net);
    if (!check_network(io, net)) return;
    for (std::int32_t i = 1; i <= net.equation_count; ++i) {
        it.discharge_copy(i) = net.rhs(i);
        it.total_heads(i) = 0.0f;
    }
    it.floating_row = first_floating_row(net);

    // 3. Pipe coefficients; every faulty pipe reports itself.
    pipe_coefficients(io, net);
    if (net.half_band <= 0) {
        write_record(io, layouts::errors_in_initial_solution);
        return;
    }

    // 4. First solution: a linear network whose conductances are the pipe coefficients.
    assemble(io, net, it);
    apply_prescribed_heads(net, net.rhs);
    solve_banded(io, net, net.rhs, turbnet_pivot_threshold, it.floating_row);

    // 5. The print flag is read whatever the first solve gave. The console read writes out the
    // report so far; a person at a terminal is also told what is awaited.
    if (io.console_is_terminal()) write_notice(io, Notice::print_flag_prompt);
    it.print_flag = LayoutReader(io, stdin_unit, layouts::print_flag_record).get_integer();
    if (net.half_band <= 0) {
        write_record(io, layouts::errors_in_initial_solution);
        return;
    }

    // 6. Newton-Raphson passes until the residual meets the tolerance or the limit is passed.
    it.iteration_count = 0;
    write_record(io, layouts::separator);
    for (;;) {
        if (pass_converges(io, net, it)) {
            write_record(io, layouts::convergence_achieved, it.iteration_count);
            break;
        }
        // The count after this correction would pass the limit. Tested before counting, so that
        // a limit of 2147483647 cannot overflow the counter.
        if (it.iteration_count >= net.max_iterations) {
            write_record(io, layouts::iteration_limit_reached);
            break;
        }
        ++it.iteration_count;
        newton_correction(io, net, it.floating_row);
        if (net.half_band <= 0) {
            write_record(io, layouts::error_in_iterations);
            return;
        }
    }

    // 7. Discharges from the final heads, and the results.
    turbulent::member_discharges(net, it.total_heads);
    print_results(io, net, it.total_heads);

    // 8. A node far off its given discharge is worth a warning beside the report.
    const BalanceCheck balance =
        check_nodal_balance(net, it.discharge_copy, nodal_discharge_resolution);
    if (balance.off())
        write_balance_notice(io, Notice::turbnet_balance_off, balance.node, balance.computed,
                             balance.given, balance.allowed);
}

} // namespace

void newton_correction(RecordIo& io, Network& net, std::int32_t floating_row) {
    // The band holds the secant conductances; the tangent ones are 0.54 times as large.
    for (std::int32_t i = 1; i <= net.equation_count; ++i)
        net.rhs(i) = static_cast<float>(double{net.rhs(i)} / double{flow_exponent});
    solve_banded(io, net, net.rhs, turbnet_pivot_threshold, floating_row);
}

int run_turbnet(RecordIo& io) {
    try {
        Network net{};
        Iteration it{};
        analyse(io, net, it);
        io.flush_report();
        return 0;
    } catch (const RunEnded& ended) {
        return ended.status;
    }
}

} // namespace pipenet
