// The C interface over NetworkAnalysis: handles, status codes, and no exception or C++ type
// crossing the boundary.
#include "pipenet/pipenet.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/c_enum_value.hpp"
#include "engine/c_model.hpp"
#include "engine/network_analysis.hpp"
#include "model/read_records.hpp"
#include "network/network_records.hpp"
#include "network/program_header.hpp"

struct pipenet_network {
    explicit pipenet_network(pipenet::Flow flow)
        : analysis(flow),
          flow(flow == pipenet::Flow::laminar ? PIPENET_LAMINAR : PIPENET_TURBULENT) {}
    // The programs' engine, for their arithmetic and for what the model cannot take.
    pipenet::NetworkAnalysis analysis;
    pipenet_flow flow;
    pipenet::Outcome last;
    bool analysed = false;
    // The same network on the model, in double precision; null when the model cannot hold it
    // (numbers outside their counts, no node, pipes not numbered 1 ... count).
    std::unique_ptr<pipenet_model> model;
    std::vector<std::size_t> link_of_pipe; // pipe number -> the model's link; entry 0 unused
    pipenet_arithmetic arithmetic = PIPENET_DOUBLE_PRECISION;
    pipenet_arithmetic analysed_in = PIPENET_DOUBLE_PRECISION;
    std::vector<double> flows; // the model's flows in pipe order
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
    if (network->model) network->model->has_results = false;
    return PIPENET_OK;
}

// The model of the records, with each pipe number's link, when the model holds the network
// as the programs number it.
void attach_model(pipenet_network& network, const pipenet::NetworkRecords& records) {
    auto m = std::make_unique<pipenet_model>();
    std::string error;
    if (!pipenet::model::model_from_records(records, "", m->model, error) || m->model.nodes.empty())
        return;
    std::vector<std::size_t> link_of_pipe(records.elements.size() + 1, records.elements.size());
    for (std::size_t i = 0; i < records.elements.size(); ++i) {
        const std::int32_t e = records.elements[i].element;
        if (e < 1 || static_cast<std::size_t>(e) > records.elements.size() ||
            link_of_pipe[static_cast<std::size_t>(e)] != records.elements.size())
            return;
        link_of_pipe[static_cast<std::size_t>(e)] = i;
    }
    network.model = std::move(m);
    network.link_of_pipe = std::move(link_of_pipe);
}

// The model's analysis, when it took the network as given: every node with a determined head.
bool solved_on_model(pipenet_network& network, pipenet_status& status) {
    pipenet_model& m = *network.model;
    status = pipenet::solve_model(m);
    if (status != PIPENET_OK && status != PIPENET_ITERATION_LIMIT) return false;
    if (std::find(m.result.solved.begin(), m.result.solved.end(), false) != m.result.solved.end()) {
        m.has_results = false;
        return false;
    }
    network.flows.assign(network.link_of_pipe.size() - 1, 0.0);
    for (std::size_t e = 1; e < network.link_of_pipe.size(); ++e)
        network.flows[e - 1] = m.result.flows[network.link_of_pipe[e]];
    network.last = pipenet::Outcome{};
    network.last.kind = status == PIPENET_OK ? OutcomeKind::solved : OutcomeKind::iteration_limit;
    network.last.converged = status == PIPENET_OK;
    return true;
}

bool on_model(const pipenet_network* network) {
    return network->analysed_in == PIPENET_DOUBLE_PRECISION && network->model;
}

pipenet_status copy_results(const pipenet_network* network,
                            std::span<const float> (pipenet::NetworkAnalysis::*results)() const,
                            const std::vector<double> pipenet::analysis::Result::*model_results,
                            double* values, size_t count) {
    if (network == nullptr || values == nullptr) return PIPENET_BAD_ARGUMENT;
    if (!network->analysed || !network->last.has_results()) return PIPENET_NO_RESULTS;
    if (on_model(network)) {
        const std::vector<double>& source =
            model_results == nullptr ? network->flows : network->model->result.*model_results;
        if (count < source.size()) return PIPENET_BAD_ARGUMENT;
        std::copy(source.begin(), source.end(), values);
        return PIPENET_OK;
    }
    const std::span<const float> source = (network->analysis.*results)();
    if (count < source.size()) return PIPENET_BAD_ARGUMENT;
    std::copy(source.begin(), source.end(), values);
    return PIPENET_OK;
}

// The model's node of a node number, its link of a pipe number; null outside the network.
pipenet::model::Node* model_node(pipenet_network* network, int node) {
    if (!network->model || node < 1 ||
        static_cast<std::size_t>(node) > network->model->model.nodes.size())
        return nullptr;
    return &network->model->model.nodes[static_cast<std::size_t>(node - 1)];
}

pipenet::model::Link* model_link(pipenet_network* network, int pipe) {
    if (!network->model || pipe < 1 ||
        static_cast<std::size_t>(pipe) >= network->link_of_pipe.size())
        return nullptr;
    return &network->model->model.links[network->link_of_pipe[static_cast<std::size_t>(pipe)]];
}

} // namespace

extern "C" {

pipenet_status pipenet_load(const char* text, size_t length, pipenet_flow flow,
                            pipenet_network** network) {
    if (network == nullptr) return PIPENET_BAD_ARGUMENT;
    *network = nullptr;
    const int flow_value = pipenet::engine::c_enum_value(flow);
    if ((text == nullptr && length != 0) ||
        (flow_value != PIPENET_LAMINAR && flow_value != PIPENET_TURBULENT &&
         flow_value != PIPENET_FLOW_FROM_HEADER))
        return PIPENET_BAD_ARGUMENT;
    if (text == nullptr || blank(text, length)) return PIPENET_UNREADABLE;
    const std::string_view contents{text, length};
    if (flow == PIPENET_FLOW_FROM_HEADER) {
        const std::optional<pipenet::Program> program = pipenet::program_from_text(contents);
        if (!program) return PIPENET_UNREADABLE;
        flow = *program == pipenet::Program::lamnet ? PIPENET_LAMINAR : PIPENET_TURBULENT;
    }
    try {
        auto created = std::make_unique<pipenet_network>(
            flow == PIPENET_LAMINAR ? pipenet::Flow::laminar : pipenet::Flow::turbulent);
        const pipenet::Program program =
            flow == PIPENET_LAMINAR ? pipenet::Program::lamnet : pipenet::Program::turbnet;
        // The text is read once into records; the engine reads it itself only where the
        // records cannot stand for what the program reads (a negative count, turbnet's node
        // group without a node), and its failure is then the verdict.
        pipenet::NetworkRecords records;
        std::string error;
        if (pipenet::read_network_records(contents, program, records, error) &&
            pipenet::read_alike_by_program(records)) {
            created->analysis.read(records);
            attach_model(*created, records);
        } else if (created->analysis.read(contents) != 0) {
            return PIPENET_UNREADABLE;
        }
        *network = created.release();
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

// Each change is made to the engine's network and to the model's alike, so that either
// arithmetic analyses the network as it now stands.
pipenet_status pipenet_set_diameter(pipenet_network* network, int pipe, double diameter) {
    if (network == nullptr || !storable(diameter)) return PIPENET_BAD_ARGUMENT;
    if (!network->analysis.set_diameter(pipe, static_cast<float>(diameter)))
        return PIPENET_BAD_ARGUMENT;
    if (pipenet::model::Link* link = model_link(network, pipe)) link->diameter.value = diameter;
    return changed(network, true);
}

pipenet_status pipenet_set_known_discharge(pipenet_network* network, int node, double discharge) {
    if (network == nullptr || !storable(discharge)) return PIPENET_BAD_ARGUMENT;
    if (!network->analysis.set_known_discharge(node, static_cast<float>(discharge)))
        return PIPENET_BAD_ARGUMENT;
    if (pipenet::model::Node* n = model_node(network, node)) n->demand.value = discharge;
    return changed(network, true);
}

pipenet_status pipenet_set_known_head(pipenet_network* network, int node, double head) {
    if (network == nullptr || !storable(head)) return PIPENET_BAD_ARGUMENT;
    try {
        if (!network->analysis.set_known_head(node, static_cast<float>(head)))
            return PIPENET_BAD_ARGUMENT;
    } catch (const std::bad_alloc&) {
        return PIPENET_OUT_OF_MEMORY; // a new known head needs a longer list
    }
    if (pipenet::model::Node* n = model_node(network, node))
        n->fixed_head = pipenet::model::Read{head, {}};
    return changed(network, true);
}

pipenet_status pipenet_set_arithmetic(pipenet_network* network, pipenet_arithmetic arithmetic) {
    const int arithmetic_value = pipenet::engine::c_enum_value(arithmetic);
    if (network == nullptr || (arithmetic_value != PIPENET_DOUBLE_PRECISION &&
                               arithmetic_value != PIPENET_PROGRAMS_ARITHMETIC))
        return PIPENET_BAD_ARGUMENT;
    network->arithmetic = arithmetic;
    return changed(network, true);
}

pipenet_arithmetic pipenet_analysed_in(const pipenet_network* network) {
    return network == nullptr ? PIPENET_DOUBLE_PRECISION : network->analysed_in;
}

pipenet_status pipenet_solve(pipenet_network* network) {
    if (network == nullptr) return PIPENET_BAD_ARGUMENT;
    network->analysed = false;
    try {
        pipenet_status status = PIPENET_OK;
        if (network->arithmetic == PIPENET_DOUBLE_PRECISION && network->model) {
            network->analysed_in = PIPENET_DOUBLE_PRECISION;
            if (solved_on_model(*network, status)) {
                network->analysed = true;
                return status;
            }
            if (status == PIPENET_OUT_OF_MEMORY) return status;
        }
        network->analysed_in = PIPENET_PROGRAMS_ARITHMETIC;
        network->last = network->analysis.analyse();
    } catch (const std::bad_alloc&) {
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
    return copy_results(network, &pipenet::NetworkAnalysis::heads,
                        &pipenet::analysis::Result::heads, values, count);
}

pipenet_status pipenet_nodal_discharges(const pipenet_network* network, double* values,
                                        size_t count) {
    return copy_results(network, &pipenet::NetworkAnalysis::nodal_discharges,
                        &pipenet::analysis::Result::nodal_discharge, values, count);
}

pipenet_status pipenet_member_discharges(const pipenet_network* network, double* values,
                                         size_t count) {
    return copy_results(network, &pipenet::NetworkAnalysis::member_discharges, nullptr, values,
                        count);
}

size_t pipenet_pass_count(const pipenet_network* network) {
    if (network == nullptr || !network->analysed) return 0;
    if (on_model(network))
        return network->flow == PIPENET_LAMINAR ? 0 : network->model->result.passes.size();
    return network->analysis.residuals().size();
}

size_t pipenet_residuals(const pipenet_network* network, double* values, size_t count) {
    if (network == nullptr || values == nullptr || !network->analysed) return 0;
    if (on_model(network)) {
        if (network->flow == PIPENET_LAMINAR) return 0;
        const auto& passes = network->model->result.passes;
        const size_t copied = std::min(count, passes.size());
        for (size_t i = 0; i < copied; ++i) values[i] = passes[i].max_imbalance;
        return copied;
    }
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
