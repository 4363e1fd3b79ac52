// The C interface over NetworkAnalysis: handles, status codes, and no exception or C++ type
// crossing the boundary.
#include "pipenet/pipenet.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <optional>
#include <span>

#include "engine/network_analysis.hpp"
#include "network/program_header.hpp"

struct pipenet_network {
    explicit pipenet_network(pipenet::Flow flow)
        : analysis(flow),
          flow(flow == pipenet::Flow::laminar ? PIPENET_LAMINAR : PIPENET_TURBULENT) {}
    pipenet::NetworkAnalysis analysis;
    pipenet_flow flow;
    pipenet::Outcome last;
    bool analysed = false;
};

namespace {

using pipenet::FaultCode;
using pipenet::OutcomeKind;

static_assert(static_cast<int>(FaultCode::none) == PIPENET_FAULT_NONE);
static_assert(static_cast<int>(FaultCode::too_many_nodes) == PIPENET_FAULT_TOO_MANY_NODES);
static_assert(static_cast<int>(FaultCode::half_band_exceeded) ==
              PIPENET_FAULT_HALF_BANDWIDTH_EXCEEDED);
static_assert(static_cast<int>(FaultCode::pipe_end_out_of_range) ==
              PIPENET_FAULT_PIPE_END_OUT_OF_RANGE);
static_assert(static_cast<int>(FaultCode::head_record_out_of_range) ==
              PIPENET_FAULT_HEAD_RECORD_OUT_OF_RANGE);
static_assert(static_cast<int>(FaultCode::zero_diameter) == PIPENET_FAULT_ZERO_DIAMETER);

pipenet_status status_of(OutcomeKind kind) {
    switch (kind) {
    case OutcomeKind::solved:
        return PIPENET_OK;
    case OutcomeKind::refused:
        return PIPENET_REFUSED;
    case OutcomeKind::singular:
        return PIPENET_SINGULAR;
    case OutcomeKind::iteration_limit:
        return PIPENET_ITERATION_LIMIT;
    case OutcomeKind::not_a_number:
        return PIPENET_NOT_A_NUMBER;
    }
    return PIPENET_BAD_ARGUMENT;
}

// A value the network can hold: a finite double within the range of a float (the reader gives
// nothing else). Rounding to the nearest float is the only change made to it.
bool storable(double value) {
    return std::isfinite(value) && std::fabs(value) <= std::numeric_limits<float>::max();
}

// A text of blanks and line ends alone: the record reader would take it for a header of zeros.
bool blank(const char* text, size_t length) {
    return std::all_of(text, text + length, [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
    });
}

// A value changed: the results no longer belong to the network.
pipenet_status changed(pipenet_network* network, bool accepted) {
    if (!accepted) return PIPENET_BAD_ARGUMENT;
    network->analysed = false;
    return PIPENET_OK;
}

pipenet_status copy_results(const pipenet_network* network,
                            std::span<const float> (pipenet::NetworkAnalysis::*results)() const,
                            double* values, size_t count) {
    if (network == nullptr || values == nullptr) return PIPENET_BAD_ARGUMENT;
    if (!network->analysed || !network->last.has_results()) return PIPENET_NO_RESULTS;
    const std::span<const float> source = (network->analysis.*results)();
    if (count < source.size()) return PIPENET_BAD_ARGUMENT;
    std::copy(source.begin(), source.end(), values);
    return PIPENET_OK;
}

} // namespace

extern "C" {

pipenet_status pipenet_load(const char* text, size_t length, pipenet_flow flow,
                            pipenet_network** network) {
    if (network == nullptr) return PIPENET_BAD_ARGUMENT;
    *network = nullptr;
    if ((text == nullptr && length != 0) ||
        (flow != PIPENET_LAMINAR && flow != PIPENET_TURBULENT && flow != PIPENET_FLOW_FROM_HEADER))
        return PIPENET_BAD_ARGUMENT;
    if (text == nullptr || blank(text, length)) return PIPENET_UNREADABLE;
    const std::string_view contents{text, length};
    if (flow == PIPENET_FLOW_FROM_HEADER) {
        const std::optional<pipenet::Program> program = pipenet::program_from_text(contents);
        if (!program) return PIPENET_UNREADABLE;
        flow = *program == pipenet::Program::lamnet ? PIPENET_LAMINAR : PIPENET_TURBULENT;
    }
    try {
        auto* created = new pipenet_network(flow == PIPENET_LAMINAR ? pipenet::Flow::laminar
                                                                    : pipenet::Flow::turbulent);
        if (created->analysis.read(contents) != 0) {
            delete created;
            return PIPENET_UNREADABLE;
        }
        *network = created;
        return PIPENET_OK;
    } catch (const std::bad_alloc&) {
        return PIPENET_OUT_OF_MEMORY;
    } catch (...) {
        return PIPENET_BAD_ARGUMENT;
    }
}

void pipenet_free(pipenet_network* network) {
    delete network;
}

pipenet_flow pipenet_flow_of(const pipenet_network* network) {
    if (network == nullptr) return PIPENET_LAMINAR;
    return network->flow;
}

pipenet_status pipenet_set_diameter(pipenet_network* network, int pipe, double diameter) {
    if (network == nullptr || !storable(diameter)) return PIPENET_BAD_ARGUMENT;
    return changed(network, network->analysis.set_diameter(pipe, static_cast<float>(diameter)));
}

pipenet_status pipenet_set_known_discharge(pipenet_network* network, int node, double discharge) {
    if (network == nullptr || !storable(discharge)) return PIPENET_BAD_ARGUMENT;
    return changed(network,
                   network->analysis.set_known_discharge(node, static_cast<float>(discharge)));
}

pipenet_status pipenet_set_known_head(pipenet_network* network, int node, double head) {
    if (network == nullptr || !storable(head)) return PIPENET_BAD_ARGUMENT;
    try {
        return changed(network, network->analysis.set_known_head(node, static_cast<float>(head)));
    } catch (const std::bad_alloc&) {
        return PIPENET_OUT_OF_MEMORY; // a new known head needs a longer list
    }
}

pipenet_status pipenet_solve(pipenet_network* network) {
    if (network == nullptr) return PIPENET_BAD_ARGUMENT;
    try {
        network->last = network->analysis.analyse();
    } catch (const std::bad_alloc&) {
        network->analysed = false;
        return PIPENET_OUT_OF_MEMORY;
    }
    network->analysed = true;
    return status_of(network->last.kind);
}

int pipenet_node_count(const pipenet_network* network) {
    return network == nullptr ? 0 : std::max(network->analysis.node_count(), 0);
}

int pipenet_pipe_count(const pipenet_network* network) {
    return network == nullptr ? 0 : std::max(network->analysis.pipe_count(), 0);
}

pipenet_status pipenet_heads(const pipenet_network* network, double* values, size_t count) {
    return copy_results(network, &pipenet::NetworkAnalysis::heads, values, count);
}

pipenet_status pipenet_nodal_discharges(const pipenet_network* network, double* values,
                                        size_t count) {
    return copy_results(network, &pipenet::NetworkAnalysis::nodal_discharges, values, count);
}

pipenet_status pipenet_member_discharges(const pipenet_network* network, double* values,
                                         size_t count) {
    return copy_results(network, &pipenet::NetworkAnalysis::member_discharges, values, count);
}

size_t pipenet_pass_count(const pipenet_network* network) {
    if (network == nullptr || !network->analysed) return 0;
    return network->analysis.residuals().size();
}

size_t pipenet_residuals(const pipenet_network* network, double* values, size_t count) {
    if (network == nullptr || values == nullptr || !network->analysed) return 0;
    const std::span<const float> residuals = network->analysis.residuals();
    const size_t copied = std::min(count, residuals.size());
    std::copy_n(residuals.begin(), copied, values);
    return copied;
}

pipenet_fault_code pipenet_fault(const pipenet_network* network, int* number, int* pipe) {
    pipenet::Fault fault;
    if (network != nullptr && network->analysed && network->last.kind == OutcomeKind::refused)
        fault = network->last.fault;
    if (number != nullptr)
        *number = fault.code == FaultCode::zero_length || fault.code == FaultCode::zero_diameter
                      ? 0
                      : fault.number;
    if (pipe != nullptr) *pipe = fault.element;
    return static_cast<pipenet_fault_code>(fault.code);
}

int pipenet_singular_row(const pipenet_network* network) {
    if (network == nullptr || !network->analysed || network->last.kind != OutcomeKind::singular)
        return 0;
    return network->last.row;
}

const char* pipenet_status_text(pipenet_status status) {
    switch (status) {
    case PIPENET_OK:
        return "analysed";
    case PIPENET_REFUSED:
        return "refused: a check failed or a pipe is faulty";
    case PIPENET_SINGULAR:
        return "the system is singular";
    case PIPENET_ITERATION_LIMIT:
        return "the iteration limit was reached before convergence";
    case PIPENET_NOT_A_NUMBER:
        return "a head came out NaN";
    case PIPENET_UNREADABLE:
        return "the text does not hold a network";
    case PIPENET_BAD_ARGUMENT:
        return "bad argument";
    case PIPENET_OUT_OF_MEMORY:
        return "out of memory";
    case PIPENET_NO_RESULTS:
        return "no results";
    }
    return "unknown status";
}

} // extern "C"
