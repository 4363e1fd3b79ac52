#include "solve/solve_network.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <span>

#include "analysis/plausibility.hpp"
#include "check/check_input.hpp"
#include "engine/analysis.hpp"
#include "engine/network_analysis.hpp"
#include "exchange/inp_reader.hpp"
#include "fem/nodal_balance.hpp"
#include "fem/pipe_length.hpp"
#include "frontend/messages.hpp"
#include "frontend/program_reports.hpp"
#include "model/read_inp.hpp"
#include "model/read_records.hpp"
#include "network/network_records.hpp"
#include "network/renumber.hpp"
#include "report/layouts.hpp"
#include "report/record_io.hpp"
#include "report/shortest_text.hpp"
#include "solve/messages.hpp"

namespace pipenet::solve {

const char* verdict_name(Verdict verdict) {
    switch (verdict) {
    case Verdict::solved:
        return "solved";
    case Verdict::refused:
        return "refused";
    case Verdict::singular:
        return "singular";
    case Verdict::not_converged:
        return "not_converged";
    case Verdict::not_a_number:
        return "not_a_number";
    case Verdict::unreadable:
        break;
    }
    return "unreadable";
}

std::size_t count_messages(const NetworkResult& result, std::string_view severity) {
    return static_cast<std::size_t>(
        std::count_if(result.messages.begin(), result.messages.end(),
                      [&](const Message& m) { return m.severity == severity; }));
}

namespace {

class StringSink final : public ByteSink {
public:
    explicit StringSink(std::string& text) : text_(text) {}
    bool write(const char* data, std::size_t size) override {
        text_.append(data, size);
        return true;
    }

private:
    std::string& text_;
};

class DiscardSink final : public ByteSink {
public:
    bool write(const char*, std::size_t) override { return true; }
};

// One analysis's storage; the network alone is some tens of kilobytes, so it lives on the heap.
struct Work {
    FixedNetwork net;
    FixedTurbulentState state;
    FixedPipeFaults faults;
};

std::string shortest(double value) {
    std::array<char, 32> text{};
    return {text.data(), shortest_text(text.data(), text.data() + text.size(), value)};
}

// The input check's code for a fault, so that check and solve name the same fault alike.
model::Code refusal_code(const Fault& fault, const Network& net) {
    switch (fault.code) {
    case FaultCode::too_many_nodes:
    case FaultCode::too_many_elements:
    case FaultCode::too_many_boundary_nodes:
        return model::Code::refused_capacity;
    case FaultCode::half_band_exceeded:
        return model::Code::refused_half_bandwidth;
    case FaultCode::no_nodes:
        return model::Code::refused_no_nodes;
    case FaultCode::node_record_out_of_range:
    case FaultCode::element_record_out_of_range:
    case FaultCode::pipe_end_out_of_range:
    case FaultCode::discharge_record_out_of_range:
    case FaultCode::head_record_out_of_range:
        return model::Code::refused_out_of_range;
    case FaultCode::zero_length:
        return net.connectivity.start_node(fault.element) ==
                       net.connectivity.end_node(fault.element)
                   ? model::Code::refused_same_node_pipe
                   : model::Code::refused_zero_length;
    case FaultCode::zero_diameter:
        return model::Code::refused_bad_diameter;
    case FaultCode::none:
        break;
    }
    return model::Code::refused;
}

// A message that names a number the analysis found, as a value beside its text.
Message refusal(Program program, const Fault& fault, const Network& net) {
    Message m = message(refusal_code(fault, net), {fault_text(program, fault)});
    switch (fault.code) {
    case FaultCode::pipe_end_out_of_range:
        m.pipe = std::to_string(fault.element);
        m.node = std::to_string(fault.number);
        break;
    case FaultCode::element_record_out_of_range:
    case FaultCode::zero_length:
    case FaultCode::zero_diameter:
        m.pipe = std::to_string(
            fault.code == FaultCode::element_record_out_of_range ? fault.number : fault.element);
        break;
    case FaultCode::node_record_out_of_range:
    case FaultCode::discharge_record_out_of_range:
    case FaultCode::head_record_out_of_range:
        m.node = std::to_string(fault.number);
        break;
    default:
        break;
    }
    return m;
}

// The outcome of a failed analysis, in the programs' words, each message with its values.
void add_outcome_messages(NetworkResult& result, const Outcome& outcome,
                          std::span<const Fault> pipe_faults, const Network& net) {
    if (outcome.kind == OutcomeKind::refused) {
        if (!is_pipe_fault(outcome.fault.code)) {
            result.messages.push_back(refusal(result.program, outcome.fault, net));
        } else {
            for (const Fault& fault : pipe_faults)
                result.messages.push_back(refusal(result.program, fault, net));
        }
    } else if (outcome.kind == OutcomeKind::singular) {
        Message m = message(model::Code::singular, {singular_text(outcome.row)});
        m.numbers.push_back(outcome.row);
        result.messages.push_back(std::move(m));
    }
    if (outcome.kind == OutcomeKind::iteration_limit)
        result.messages.push_back(message(model::Code::iteration_limit_reached));
    if (outcome.kind == OutcomeKind::not_a_number)
        result.messages.push_back(message(model::Code::head_not_a_number));
}

Verdict verdict_of(OutcomeKind kind) {
    switch (kind) {
    case OutcomeKind::solved:
        return Verdict::solved;
    case OutcomeKind::refused:
        return Verdict::refused;
    case OutcomeKind::singular:
        return Verdict::singular;
    case OutcomeKind::iteration_limit:
        return Verdict::not_converged;
    case OutcomeKind::not_a_number:
        break;
    }
    return Verdict::not_a_number;
}

Message failure_message(int failure) {
    if (failure == static_cast<int>(Failure::end_of_file)) return message(model::Code::end_of_file);
    if (failure == static_cast<int>(Failure::input_conversion))
        return message(model::Code::not_a_number_field);
    return message(model::Code::unreadable_records, {std::to_string(failure)});
}

// The results of an analysis that produced some, in the numbering of the analysed network.
void gather_results(NetworkResult& result, const Network& net, Vec1<const float> heads) {
    // A header may announce a negative count, which the analysis runs with as none.
    const std::int32_t nodes = std::max(net.node_count, 0);
    result.nodes.resize(static_cast<std::size_t>(nodes));
    for (std::int32_t i = 1; i <= nodes; ++i) {
        NodeResult& node = result.nodes[static_cast<std::size_t>(i - 1)];
        node.node = i;
        node.x = net.x(i);
        node.y = net.y(i);
        node.head = heads(i);
        node.discharge = net.nodal_discharge(i);
        node.known_discharge = net.known_discharge(i);
    }
    for (std::int32_t b = 1; b <= net.stored_boundary_count(); ++b) {
        const std::int32_t at = net.boundary_nodes.node(b);
        result.nodes[static_cast<std::size_t>(at - 1)].known_head = net.prescribed_head(at);
    }

    result.pipes.resize(static_cast<std::size_t>(std::max(net.element_count, 0)));
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        PipeResult& pipe = result.pipes[static_cast<std::size_t>(e - 1)];
        pipe.pipe = e;
        pipe.start = net.connectivity.start_node(e);
        pipe.end = net.connectivity.end_node(e);
        pipe.diameter = net.diameter(e);
        pipe.length = pipe_length(net, e);
        pipe.discharge = net.member_discharge(e);
        pipe.head_loss = heads(pipe.start) - heads(pipe.end);
        const double area = std::numbers::pi / 4.0 * double{pipe.diameter} * double{pipe.diameter};
        pipe.velocity = static_cast<float>(double{pipe.discharge} / area);
    }
}

// Each node's balance error, the largest, and a warning where it is far off the flows (the
// programs' own balance check): a network can meet its tolerance while one node's balance is
// plainly wrong.
void check_balance(NetworkResult& result) {
    if (result.nodes.empty()) return;
    const std::size_t count = result.nodes.size();
    std::vector<float> given(count);
    std::vector<float> computed(count);
    const auto known_head = std::make_unique<bool[]>(count);
    for (std::size_t i = 0; i < count; ++i) {
        NodeResult& node = result.nodes[i];
        given[i] = static_cast<float>(node.known_discharge);
        computed[i] = static_cast<float>(node.discharge);
        known_head[i] = node.known_head.has_value();
        if (!node.known_head)
            node.balance_error = balance_error(static_cast<float>(node.known_discharge),
                                               static_cast<float>(node.discharge));
    }
    const BalanceCheck worst =
        check_nodal_balance(given, computed, std::span<const bool>(known_head.get(), count), 0.0);
    if (worst.node == 0) return;
    result.max_balance_error = worst.difference;
    if (worst.off())
        result.messages.push_back(
            message(model::Code::balance_off, {std::to_string(worst.node),
                                               shortest(balance_error(worst.given, worst.computed)),
                                               shortest(worst.allowed)}));
}

void write_report(NetworkResult& result, std::string_view text, std::int32_t print_flag) {
    StringSink report(result.report);
    DiscardSink errors;
    std::array<char, 16> flag_record{};
    // The print flag as the record turbnet reads from its console.
    const int length = std::snprintf(flag_record.data(), flag_record.size(), "%10d\n",
                                     static_cast<int>(print_flag));
    MemorySource console(flag_record.data(), static_cast<std::size_t>(length));
    MemorySource input(text);
    auto io = std::make_unique<RecordIo>(report, errors, console);
    io->use_input_source(input);
    auto work = std::make_unique<Work>();
    try {
        io->open_input(input_file_name(result.program));
        if (result.program == Program::lamnet) {
            report_laminar(*io, work->net, work->faults);
        } else {
            report_turbulent(*io, work->net, work->state, work->faults);
        }
        io->flush_report();
    } catch (const RunEnded&) {
        // The record layer has written the report so far before it ended the run.
    }
}

// Where a text the engine could not read fails, in the words of the input check: "line 3,
// columns 11-20: x: ..."; the first error of the check with the failure's code, else its first
// error (an earlier error of another kind, such as a count of 0, is not where the reading
// failed); empty when the check finds no error.
std::string where_unreadable(std::string_view text, Program program, std::string_view code) {
    class TextOpener final : public check::SourceOpener {
    public:
        explicit TextOpener(std::string_view text) : text_(text), source_(text) {}
        ByteSource* open() override {
            source_ = MemorySource(text_);
            return &source_;
        }

    private:
        std::string_view text_;
        MemorySource source_;
    };
    TextOpener opener(text);
    check::CheckResult found;
    check::check_input(program, opener, nullptr, found);
    const check::Finding* chosen = nullptr;
    for (const check::Finding& finding : found.findings) {
        if (finding.severity != check::Severity::error) continue;
        if (chosen == nullptr) chosen = &finding;
        if (check::message_entry(finding.message).code == code) {
            chosen = &finding;
            break;
        }
    }
    if (chosen != nullptr) {
        const check::Finding& finding = *chosen;
        std::string place;
        if (finding.line > 0) place = "line " + std::to_string(finding.line);
        if (finding.line > 0 && finding.first_column > 0)
            place += (finding.first_column == finding.last_column ? ", column " : ", columns ") +
                     std::to_string(finding.first_column) +
                     (finding.first_column == finding.last_column
                          ? ""
                          : "-" + std::to_string(finding.last_column));
        return place.empty() ? finding.text : place + ": " + finding.text;
    }
    return {};
}

// Analyses the network that `analysis` holds, whose storage is sized from the network: no
// capacity. Fills the verdict, the messages and the results in the analysed numbering. Returns
// the singular row, or 0.
std::int32_t analyse_read(NetworkResult& result, NetworkAnalysis& analysis) {
    Outcome outcome;
    try {
        outcome = analysis.analyse();
    } catch (const std::bad_alloc&) {
        const Network& net = analysis.network();
        result.verdict = Verdict::refused;
        Message m = message(model::Code::band_too_large,
                            {std::to_string(net.equation_count), std::to_string(net.half_band)});
        m.numbers = {static_cast<double>(net.equation_count), static_cast<double>(net.half_band)};
        result.messages.push_back(std::move(m));
        return 0;
    }
    for (std::size_t pass = 0; pass < analysis.residuals().size(); ++pass)
        result.passes.push_back({static_cast<std::int32_t>(pass), analysis.residuals()[pass],
                                 std::nullopt, std::nullopt});
    result.verdict = verdict_of(outcome.kind);
    add_outcome_messages(result, outcome, analysis.pipe_faults(), analysis.network());
    if (outcome.has_results()) {
        const std::span<const float> heads = analysis.heads();
        gather_results(result, analysis.network(),
                       Vec1<const float>(heads.data(), static_cast<std::int32_t>(heads.size())));
    }
    return outcome.kind == OutcomeKind::singular ? outcome.row : 0;
}

Flow flow_of(Program program) {
    return program == Program::lamnet ? Flow::laminar : Flow::turbulent;
}

// Analyses records read from the file on the engine: the workspace's, where there is one.
std::int32_t analyse_records_programs(NetworkResult& result, const NetworkRecords& records,
                                      Workspace* workspace) {
    const Flow flow = flow_of(result.program);
    std::unique_ptr<NetworkAnalysis> own;
    std::unique_ptr<NetworkAnalysis>& engine =
        workspace != nullptr ? workspace->engines[flow == Flow::laminar ? 0 : 1] : own;
    if (engine == nullptr) engine = std::make_unique<NetworkAnalysis>(flow);
    engine->read(records);
    return analyse_read(result, *engine);
}

// A text whose records do not stand for what the program reads (a negative count, turbnet's
// node group with no node), or that cannot be read at all: the engine reads it as the program
// does, so that the verdict and its wording are the program's.
void analyse_text(NetworkResult& result, std::string_view text) {
    NetworkAnalysis analysis(flow_of(result.program));
    if (const int failure = analysis.read(text); failure != 0) {
        result.verdict = Verdict::unreadable;
        Message unreadable = failure_message(failure);
        const std::string where = where_unreadable(text, result.program, unreadable.code);
        if (!where.empty()) unreadable.text += ": " + where;
        result.messages.push_back(std::move(unreadable));
        return;
    }
    analyse_read(result, analysis);
}

// Puts every node and pipe end back under the file's own numbers.
void restore_numbers(NetworkResult& result, const Renumbering& renumbering) {
    if (result.nodes.empty()) return;
    std::vector<NodeResult> renumbered = std::move(result.nodes);
    std::vector<std::int32_t> old_number(renumbering.new_number.size(), 0);
    result.nodes.resize(renumbered.size());
    for (std::size_t old = 1; old < renumbering.new_number.size(); ++old) {
        const auto now = static_cast<std::size_t>(renumbering.new_number[old]);
        old_number[now] = static_cast<std::int32_t>(old);
        NodeResult node = renumbered[now - 1];
        node.node = static_cast<std::int32_t>(old);
        result.nodes[old - 1] = node;
    }
    for (PipeResult& pipe : result.pipes) {
        pipe.start = old_number[static_cast<std::size_t>(pipe.start)];
        pipe.end = old_number[static_cast<std::size_t>(pipe.end)];
    }
}

// Analyses the network renumbered when that narrows its band. Returns false, with a message,
// when it cannot be renumbered; the caller then analyses the records as they are.
bool analyse_renumbered(NetworkResult& result, const NetworkRecords& read, Workspace* workspace) {
    std::string error;
    if (!check_node_numbers(read, error)) {
        result.messages.push_back(message(model::Code::renumber_skipped, {error}));
        return false;
    }
    const Renumbering renumbering =
        renumber_nodes(static_cast<std::int32_t>(read.nodes.size()), element_ends(read));
    if (renumbering.half_band_after >= renumbering.half_band_before) return false;
    NetworkRecords records = read;
    apply_renumbering(records, renumbering);
    Message renumbered =
        message(model::Code::renumbered, {std::to_string(renumbering.half_band_after),
                                          std::to_string(renumbering.half_band_before)});
    renumbered.numbers = {static_cast<double>(renumbering.half_band_after),
                          static_cast<double>(renumbering.half_band_before)};
    result.messages.push_back(std::move(renumbered));
    const std::int32_t singular_row = analyse_records_programs(result, records, workspace);
    restore_numbers(result, renumbering);
    // The program's message names a row of the renumbered system.
    for (std::size_t old = 1; old < renumbering.new_number.size(); ++old)
        if (singular_row != 0 && renumbering.new_number[old] == singular_row) {
            Message m = message(model::Code::renumbered_row,
                                {std::to_string(singular_row), std::to_string(old)});
            m.node = std::to_string(old);
            m.numbers.push_back(singular_row);
            result.messages.push_back(std::move(m));
        }
    return true;
}

Verdict verdict_of(analysis::Outcome outcome) {
    switch (outcome) {
    case analysis::Outcome::solved:
        return Verdict::solved;
    case analysis::Outcome::not_converged:
        return Verdict::not_converged;
    case analysis::Outcome::singular:
        return Verdict::singular;
    case analysis::Outcome::refused:
        break;
    }
    return Verdict::refused;
}

void add_findings(NetworkResult& result, const std::vector<model::Finding>& findings) {
    for (const model::Finding& f : findings) result.messages.push_back(message(f));
}

// A negative pressure: the first few nodes by ID and the lowest, in one warning.
void add_pressure_findings(NetworkResult& result, const model::Model& m) {
    std::size_t count = 0;
    std::string first;
    std::size_t lowest = 0;
    for (std::size_t i = 0; i < result.nodes.size(); ++i) {
        const std::optional<double>& p = result.nodes[i].pressure;
        if (!p || *p >= 0.0) continue;
        if (count < 3) first += (count == 0 ? "" : ", ") + m.nodes[i].id;
        if (count == 0 || *p < *result.nodes[lowest].pressure) lowest = i;
        ++count;
    }
    if (count == 0) return;
    add_findings(result, {model::make_finding(
                             model::Code::negative_pressure,
                             {std::to_string(count), first + (count > 3 ? ", ..." : ""),
                              shortest(*result.nodes[lowest].pressure), m.nodes[lowest].id})});
}

// Analyses a model in double precision and gathers its results: under the model's IDs when
// `ids` is set (a .inp file), else under the node numbers and the pipe numbers of `elements`,
// the records the model's links were made from, link after link.
void analyse_model(NetworkResult& result, const model::Model& m, const SolveSettings& settings,
                   bool ids, Workspace* workspace, std::span<const ElementRecord> elements = {}) {
    result.law = model::law_name(m.law);
    add_findings(result, analysis::input_findings(m));
    analysis::Solver own;
    analysis::Solver& solver = workspace != nullptr ? workspace->solver : own;
    const analysis::Result r = solver.run(m, settings.tolerances);
    result.verdict = verdict_of(r.outcome);
    for (const analysis::Pass& p : r.passes)
        result.passes.push_back({p.pass, std::nullopt, p.max_imbalance, p.max_head_change});
    add_findings(result, r.findings);
    if (r.outcome != analysis::Outcome::solved && r.outcome != analysis::Outcome::not_converged)
        return;
    add_findings(result, analysis::result_findings(m, r));
    result.labelled = ids;

    result.nodes.resize(m.nodes.size());
    for (std::size_t i = 0; i < m.nodes.size(); ++i) {
        const model::Node& node = m.nodes[i];
        NodeResult& out = result.nodes[i];
        out.node = static_cast<std::int32_t>(i + 1);
        out.x = node.x.value;
        out.y = node.y.value;
        out.head = r.heads[i];
        out.discharge = r.nodal_discharge[i];
        out.known_discharge = node.demand.value;
        if (node.fixed_head) {
            out.known_head = node.fixed_head->value;
        } else if (r.solved[i]) {
            out.balance_error = out.discharge - out.known_discharge;
        }
        if (m.elevations) {
            out.elevation = node.elevation.value;
            if (r.solved[i]) out.pressure = r.heads[i] - node.elevation.value;
        }
        if (ids) out.id = node.id;
    }
    if (r.worst_node >= 0) result.max_balance_error = r.max_imbalance;
    add_pressure_findings(result, m);
    result.pipes.resize(m.links.size());
    for (const model::Valve& valve : m.valves)
        result.pipes[static_cast<std::size_t>(valve.link)].kind =
            model::valve_type_name(valve.type);
    for (std::size_t e = 0; e < m.links.size(); ++e) {
        const model::Link& link = m.links[e];
        PipeResult& out = result.pipes[e];
        out.pipe = ids ? static_cast<std::int32_t>(e + 1) : elements[e].element;
        out.start = link.start + 1;
        out.end = link.end + 1;
        out.diameter = link.diameter.value;
        out.length = link.length.value;
        out.discharge = r.flows[e];
        out.head_loss = r.heads[static_cast<std::size_t>(link.start)] -
                        r.heads[static_cast<std::size_t>(link.end)];
        const double d = link.diameter.value;
        // A pump has no cross-section: its velocity is reported as 0.
        out.velocity = link.kind == model::LinkKind::pump
                           ? 0.0
                           : out.discharge / (std::numbers::pi / 4.0 * d * d);
        if (link.kind == model::LinkKind::pump) out.head_gain = -out.head_loss;
        if (ids) {
            out.id = link.id;
            out.start_id = m.nodes[static_cast<std::size_t>(link.start)].id;
            out.end_id = m.nodes[static_cast<std::size_t>(link.end)].id;
            if (!out.kind)
                out.kind = link.kind == model::LinkKind::pump ? "pump"
                           : link.check_valve                 ? "check-valve"
                                                              : "pipe";
            out.state = r.states[e] == analysis::LinkState::open     ? "open"
                        : r.states[e] == analysis::LinkState::active ? "active"
                                                                     : "closed";
        }
    }
}

// The programs' file in double precision on the model. Returns false, having done nothing,
// when the model cannot hold the file's network (numbers outside the counts, no nodes): the
// programs' engine then gives its own verdict and wording.
bool analyse_records_double(NetworkResult& result, const NetworkRecords& records,
                            const SolveSettings& settings, Workspace* workspace) {
    model::Model own;
    model::Model& m = workspace != nullptr ? workspace->model : own;
    std::string error;
    if (!model::model_from_records(records, result.file, m, error) || m.nodes.empty()) return false;
    analyse_model(result, m, settings, false, workspace, records.elements);
    // A large network's model is not kept while its results are written (about 130 bytes a node
    // at 10^5 nodes and more): reading it again costs a small part of its analysis.
    if (static_cast<std::int64_t>(m.nodes.size()) >= settings.tolerances.large_network_rows)
        m = model::Model{};
    return true;
}

} // namespace

namespace {

NetworkResult finish(NetworkResult& result, std::string_view text, const SolveSettings& settings) {
    // The report is always the programs' own, written as they write it from the text.
    if (settings.report) write_report(result, text, settings.print_flag);
    return std::move(result);
}

// The records read from the file, analysed in the arithmetic the settings ask for.
void analyse_records(NetworkResult& result, const NetworkRecords& records,
                     const SolveSettings& settings, Workspace* workspace = nullptr) {
    if (settings.arithmetic == Arithmetic::double_precision &&
        analyse_records_double(result, records, settings, workspace))
        return;
    result.arithmetic = Arithmetic::programs;
    if (!settings.renumber || !analyse_renumbered(result, records, workspace))
        analyse_records_programs(result, records, workspace);
    check_balance(result);
}

NetworkResult new_result(std::string_view file, Program program, const SolveSettings& settings) {
    NetworkResult result;
    result.file = file;
    result.program = program;
    result.arithmetic = settings.arithmetic;
    return result;
}

} // namespace

namespace {

// `spent`, when given, holds `text` and is freed once the records stand for it.
NetworkResult solve_network_text(std::string_view file, std::string_view text, std::string* spent,
                                 Program program, const SolveSettings& settings,
                                 Workspace* workspace) {
    NetworkResult result = new_result(file, program, settings);
    NetworkRecords own;
    NetworkRecords& records = workspace != nullptr ? workspace->records : own;
    std::string error;
    if (read_network_records(text, program, records, error) && read_alike_by_program(records)) {
        if (spent != nullptr && !settings.report) {
            std::string().swap(*spent);
            text = {};
        }
        analyse_records(result, records, settings, workspace);
    } else {
        result.arithmetic = Arithmetic::programs;
        analyse_text(result, text);
        check_balance(result);
    }
    if (result.arithmetic == Arithmetic::programs && result.verdict != Verdict::unreadable)
        result.law = model::law_name(program == Program::lamnet
                                         ? model::HeadLossLaw::laminar
                                         : model::HeadLossLaw::hazen_williams_programs);
    return finish(result, text, settings);
}

} // namespace

NetworkResult solve_network(std::string_view file, std::string_view text, Program program,
                            const SolveSettings& settings, Workspace* workspace) {
    return solve_network_text(file, text, nullptr, program, settings, workspace);
}

NetworkResult solve_network(std::string_view file, std::string&& text, Program program,
                            const SolveSettings& settings, Workspace* workspace) {
    return solve_network_text(file, text, &text, program, settings, workspace);
}

NetworkResult solve_records(std::string_view file, const NetworkRecords& records,
                            const SolveSettings& settings) {
    NetworkResult result = new_result(file, records.program, settings);
    analyse_records(result, records, settings);
    return result;
}

namespace {

// `spent`, when given, holds `text` and is freed once read, as is the file's network once the
// model stands for it.
NetworkResult solve_inp_text(std::string_view file, std::string_view text, std::string* spent,
                             const SolveSettings& settings, model::Model* read_model,
                             Workspace* workspace) {
    NetworkResult result;
    result.file = file;
    result.inp = true;
    result.time = settings.time;
    result.arithmetic = Arithmetic::double_precision;
    model::Model own;
    model::Model& m = read_model != nullptr ? *read_model : own;
    std::vector<exchange::Diagnostic> diagnostics;
    exchange::InpNetwork network;
    const bool read = exchange::read_inp(text, network, diagnostics);
    if (spent != nullptr) std::string().swap(*spent);
    const bool filled = model::model_from_inp(network, result.file, settings.time, m, diagnostics);
    network = exchange::InpNetwork{};
    for (const exchange::Diagnostic& d : diagnostics)
        result.messages.push_back(
            message(exchange::message_of(d),
                    {d.line > 0 ? "line " + std::to_string(d.line) + ": " + d.text : d.text}));
    if (!read || !filled) {
        result.verdict = read ? Verdict::refused : Verdict::unreadable;
        return result;
    }
    if (settings.arithmetic == Arithmetic::programs)
        add_findings(result, {model::make_finding(model::Code::inp_double_only, {})});
    if (m.tanks > 0)
        add_findings(result,
                     {model::make_finding(model::Code::tanks_fixed, {std::to_string(m.tanks)})});
    analyse_model(result, m, settings, true, workspace);
    return result;
}

} // namespace

NetworkResult solve_inp(std::string_view file, std::string_view text, const SolveSettings& settings,
                        model::Model* read_model, Workspace* workspace) {
    return solve_inp_text(file, text, nullptr, settings, read_model, workspace);
}

NetworkResult solve_inp(std::string_view file, std::string&& text, const SolveSettings& settings,
                        model::Model* read_model, Workspace* workspace) {
    return solve_inp_text(file, text, &text, settings, read_model, workspace);
}

NetworkResult unreadable_file(std::string_view file, Program program, std::string reason) {
    NetworkResult result;
    result.file = file;
    result.program = program;
    result.verdict = Verdict::unreadable;
    result.messages.push_back(message(model::Code::unreadable, {std::move(reason)}));
    return result;
}

} // namespace pipenet::solve
