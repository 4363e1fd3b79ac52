#include "engine/analysis.hpp"

#include <cmath>

#include "fem/assemble.hpp"
#include "fem/laminar.hpp"
#include "fem/network_kernels.hpp"
#include "fem/turbulent.hpp"
#include "network/checks.hpp"
#include "network/floating_groups.hpp"

namespace pipenet {

namespace {

constexpr float flow_exponent = 0.54f;

Outcome refused(Fault fault) {
    Outcome outcome;
    outcome.kind = OutcomeKind::refused;
    outcome.fault = fault;
    return outcome;
}

Outcome singular(std::int32_t row) {
    Outcome outcome;
    outcome.kind = OutcomeKind::singular;
    outcome.row = row;
    return outcome;
}

// Solved, unless a head came out NaN.
OutcomeKind solved_unless_nan(const Network& net, Vec1<const float> heads) {
    for (std::int32_t i = 1; i <= net.equation_count; ++i)
        if (std::isnan(heads(i))) return OutcomeKind::not_a_number;
    return OutcomeKind::solved;
}

void load_known_discharges(Network& net, Vec1<float> load) {
    for (std::int32_t i = 1; i <= net.equation_count; ++i) load(i) = net.known_discharge(i);
}

// The residual load - band * heads (band * heads is in rhs on entry, the residual on exit) and
// the relative residual of the pass. Returns true when the pass has converged.
bool residual_converged(Network& net, TurbulentState& state, float& residual_ratio) {
    float sum_of_squares = 0.0f;
    float sum_of_magnitudes = 0.0f;
    for (std::int32_t i = 1; i <= net.equation_count; ++i) {
        net.rhs(i) = static_cast<float>(double{state.total_vector(i)} - double{net.rhs(i)});
        double r = net.rhs(i);
        sum_of_squares = static_cast<float>(double{sum_of_squares} + r * r);
        sum_of_magnitudes = static_cast<float>(double{sum_of_magnitudes} +
                                               std::fabs(double{state.total_vector(i)}));
    }
    residual_ratio =
        static_cast<float>(std::sqrt(double{sum_of_squares}) / double{sum_of_magnitudes});
    // A zero load with a zero residual is converged; any other NaN ratio is not.
    bool zero_load = sum_of_squares == 0.0f && sum_of_magnitudes == 0.0f;
    return residual_ratio <= net.tolerance || zero_load;
}

} // namespace

Outcome analyse_laminar(Network& net, PipeFaults& faults) {
    faults.clear();
    if (Fault fault = check_network(net)) return refused(fault);
    find_band_pattern(net);

    load_known_discharges(net, net.rhs);
    assemble_global(net, net.rhs, [&faults](std::int32_t e, Network& n, Vec1<const float>) {
        if (FaultCode code = laminar_element(e, n); code != FaultCode::none) faults.add(code, e);
    });
    if (!faults.empty()) return refused(faults.list().front());

    apply_prescribed_heads(net, net.rhs);
    if (std::int32_t row =
            solve_banded(net, net.rhs, lamnet_pivot_threshold, first_floating_row(net));
        row != 0)
        return singular(row);

    laminar::member_discharges(net, net.rhs);
    Outcome outcome;
    outcome.kind = solved_unless_nan(net, net.rhs);
    return outcome;
}

Outcome turbulent_first_solution(Network& net, TurbulentState& state, PipeFaults& faults) {
    faults.clear();
    if (Fault fault = check_network(net)) return refused(fault);
    find_band_pattern(net);
    for (std::int32_t i = 1; i <= net.equation_count; ++i) state.total_heads(i) = 0.0f;
    state.floating_row = first_floating_row(net);

    pipe_coefficients(net, faults);
    if (!faults.empty()) return refused(faults.list().front());

    load_known_discharges(net, net.rhs);
    assemble_global(net, state.total_heads, turbulent_element);
    apply_prescribed_heads(net, net.rhs);
    if (std::int32_t row = solve_banded(net, net.rhs, turbnet_pivot_threshold, state.floating_row);
        row != 0)
        return singular(row);
    return {};
}

std::int32_t newton_correction(Network& net, std::int32_t floating_row) {
    // The band holds the secant conductances; the tangent ones are 0.54 times as large.
    for (std::int32_t i = 1; i <= net.equation_count; ++i)
        net.rhs(i) = static_cast<float>(double{net.rhs(i)} / double{flow_exponent});
    return solve_banded(net, net.rhs, turbnet_pivot_threshold, floating_row);
}

Outcome turbulent_passes(Network& net, TurbulentState& state, PassObserver& observer) {
    Outcome outcome;
    for (;;) {
        // Take over the correction, rebuild the system at the new heads, test the residual.
        for (std::int32_t i = 1; i <= net.equation_count; ++i)
            state.total_heads(i) =
                static_cast<float>(double{state.total_heads(i)} + double{net.rhs(i)});
        assemble_global(net, state.total_heads, turbulent_element);
        load_known_discharges(net, state.total_vector);
        apply_prescribed_heads(net, state.total_vector);
        band_product(net, state.total_heads, net.rhs);
        observer.pass(Pass{outcome.passes, net.equation_count, state.total_heads,
                           state.total_vector, net.rhs});
        float residual_ratio = 0.0f;
        bool converged = residual_converged(net, state, residual_ratio);
        observer.residual(outcome.passes, residual_ratio);
        if (converged) {
            outcome.converged = true;
            break;
        }
        // The count after this correction would pass the limit. Tested before counting, so that
        // a limit of 2147483647 cannot overflow the counter.
        if (outcome.passes >= net.max_iterations) break;
        ++outcome.passes;
        if (std::int32_t row = newton_correction(net, state.floating_row); row != 0) {
            Outcome failed = singular(row);
            failed.passes = outcome.passes;
            return failed;
        }
    }
    turbulent::member_discharges(net, state.total_heads);
    OutcomeKind kind = solved_unless_nan(net, state.total_heads);
    outcome.kind =
        kind == OutcomeKind::solved && !outcome.converged ? OutcomeKind::iteration_limit : kind;
    return outcome;
}

} // namespace pipenet
