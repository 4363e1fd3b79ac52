// The analysis of a network that has been read: checks, laminar or turbulent solution, member
// and nodal discharges. It returns what it found as a value and writes nothing: the programs
// word the outcome in their reports, and the library hands it to its callers.
#pragma once

#include <cstdint>

#include "network/faults.hpp"
#include "network/model.hpp"

namespace pipenet {

enum class OutcomeKind : std::uint8_t {
    solved,
    refused,         // fault: the check that failed, or the first faulty pipe
    singular,        // row: the first row whose pivot vanished
    iteration_limit, // the passes ran out before the residual met the tolerance
    not_a_number,    // the analysis ran to its end, and a head came out NaN
};

struct Outcome {
    OutcomeKind kind = OutcomeKind::solved;
    Fault fault;
    std::int32_t row = 0;
    std::int32_t passes = 0; // turbulent: the correction passes counted
    bool converged = false;  // turbulent: the last pass met the tolerance

    // True when the analysis produced heads and discharges.
    bool has_results() const {
        return kind == OutcomeKind::solved || kind == OutcomeKind::iteration_limit ||
               kind == OutcomeKind::not_a_number;
    }
};

// True for the faults of one pipe (the others concern the network as read).
inline bool is_pipe_fault(FaultCode code) {
    return code == FaultCode::zero_length || code == FaultCode::zero_diameter;
}

// Laminar flow: checks the network, assembles every pipe (each faulty pipe is added to faults
// and the outcome is refused with the first), imposes the known heads, solves, and works out
// the member and nodal discharges. The heads are left in net.rhs, the discharges in
// net.member_discharge and net.nodal_discharge. net: in-out (the input itself is not changed).
Outcome analyse_laminar(Network& net, PipeFaults& faults);

// Turbulent flow, in two steps so that a caller can act between them: the first solution of
// a linear network whose conductances are the pipe coefficients, then the Newton-Raphson passes.
// The vectors are views of storage the owner keeps, one entry per equation.
struct TurbulentState {
    Vec1<float> total_heads;  // current heads: first solution plus every correction
    Vec1<float> total_vector; // load of the current pass, known heads imposed
    std::int32_t floating_row = 0;
};

// The programs' fixed block of the turbulent state. Copies keep their own views.
struct FixedTurbulentState : TurbulentState {
    FixedTurbulentState() { bind(); }
    FixedTurbulentState(const FixedTurbulentState& other)
        : TurbulentState(other), heads_(other.heads_), vector_(other.vector_) {
        bind();
    }
    FixedTurbulentState& operator=(const FixedTurbulentState& other) {
        floating_row = other.floating_row;
        heads_ = other.heads_;
        vector_ = other.vector_;
        return *this;
    }

private:
    void bind() {
        total_heads = heads_;
        total_vector = vector_;
    }
    EquationReals heads_;
    EquationReals vector_;
};

// One pass, as the observer sees it before the residual takes the place of computed_vector.
struct Pass {
    std::int32_t number = 0; // passes counted before this one
    std::int32_t equation_count = 0;
    Vec1<const float> heads;           // the heads the pass was made at
    Vec1<const float> total_vector;    // the load, known heads imposed
    Vec1<const float> computed_vector; // band * heads
};

class PassObserver {
public:
    virtual void pass(const Pass& pass) = 0;
    // The relative residual of pass `number`: |load - band * heads| / sum |load|.
    virtual void residual(std::int32_t number, float ratio) = 0;

protected:
    ~PassObserver() = default;
};

// Checks the network, works out the pipe coefficients (each faulty pipe is added to faults;
// refused with the first), assembles at zero heads, imposes the known heads and solves. On
// success the first solution is in net.rhs, ready for turbulent_passes.
Outcome turbulent_first_solution(Network& net, TurbulentState& state, PipeFaults& faults);

// One Newton-Raphson correction. On entry net.band holds the secant conductances at the current
// heads with the known heads imposed, and net.rhs the residual of the pass; the tangent
// conductances are 0.54 times the secant ones, so the correction solves the band against the
// residual / 0.54 (each entry rounded to float). On exit net.rhs holds the correction. Returns 0,
// or the singular row. floating_row: as for solve_banded.
std::int32_t newton_correction(Network& net, std::int32_t floating_row);

// Corrects the heads pass after pass until the relative residual meets the tolerance, or the
// limit of passes is reached, or a solve is singular; the observer sees every pass. With
// results, the heads are in state.total_heads and the discharges in net.
Outcome turbulent_passes(Network& net, TurbulentState& state, PassObserver& observer);

} // namespace pipenet
