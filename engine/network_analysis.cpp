#include "engine/network_analysis.hpp"

#include <algorithm>
#include <limits>
#include <vector>

#include "engine/network_text.hpp"
#include "network/checks.hpp"
#include "network/sized_network.hpp"

namespace pipenet {

struct NetworkAnalysis::Storage {
    SizedNetwork sized;
    std::vector<float> state_vectors; // total_heads, then total_vector
    TurbulentState state;
    SizedPipeFaults faults;
    std::vector<float> residuals;
};

namespace {

class ResidualList final : public PassObserver {
public:
    explicit ResidualList(std::vector<float>& residuals) : residuals_(residuals) {}
    void pass(const Pass&) override {}
    void residual(std::int32_t, float ratio) override { residuals_.push_back(ratio); }

private:
    std::vector<float>& residuals_;
};

} // namespace

NetworkAnalysis::NetworkAnalysis(Flow flow) : flow_(flow), storage_(std::make_unique<Storage>()) {}

NetworkAnalysis::~NetworkAnalysis() = default;

int NetworkAnalysis::read(std::string_view text) {
    has_results_ = false;
    storage_->residuals.clear();
    storage_->faults.clear();
    const Program program = flow_ == Flow::laminar ? Program::lamnet : Program::turbnet;
    Storage& s = *storage_;
    // First without storage, so that the counts are borne out by records before anything is
    // sized from them; then again into storage sized from the counts.
    Network counted;
    int failure = read_network_text(text, program, counted);
    if (failure == 0) {
        s.sized.size_records(counted.node_count, counted.element_count, counted.known_head_count);
        failure = read_network_text(text, program, s.sized.net);
    }
    if (failure != 0) s.sized.size_records(0, 0, 0);
    size_state();
    return failure;
}

void NetworkAnalysis::read(const NetworkRecords& records) {
    has_results_ = false;
    storage_->residuals.clear();
    storage_->faults.clear();
    Storage& s = *storage_;
    s.sized.size_records(static_cast<std::int32_t>(records.nodes.size()),
                         static_cast<std::int32_t>(records.elements.size()),
                         static_cast<std::int32_t>(records.heads.size()));
    store_records(records, s.sized.net);
    size_state();
}

void NetworkAnalysis::size_state() {
    Storage& s = *storage_;
    const std::int32_t equations = std::max(s.sized.net.node_count, 0);
    s.state_vectors.assign(2 * static_cast<std::size_t>(equations), 0.0f);
    s.state = {Vec1<float>(s.state_vectors.data(), equations),
               Vec1<float>(s.state_vectors.data() + equations, equations), 0};
    s.faults.size(s.sized.net.element_count);
}

namespace {

// True when `number` is one of the network's nodes (or pipes) and lies inside the storage.
bool within(std::int32_t number, std::int32_t count, std::int32_t stored) {
    return number >= 1 && number <= count && number <= stored;
}

} // namespace

bool NetworkAnalysis::set_diameter(std::int32_t pipe, float diameter) {
    Network& net = storage_->sized.net;
    if (!within(pipe, net.element_count, net.diameter.size())) return false;
    net.diameter(pipe) = diameter;
    return true;
}

bool NetworkAnalysis::set_known_discharge(std::int32_t node, float discharge) {
    Network& net = storage_->sized.net;
    if (!within(node, net.node_count, net.known_discharge.size())) return false;
    net.known_discharge(node) = discharge;
    return true;
}

bool NetworkAnalysis::set_known_head(std::int32_t node, float head) {
    SizedNetwork& sized = storage_->sized;
    Network& net = sized.net;
    if (!within(node, net.node_count, net.prescribed_head.size())) return false;
    bool listed = false;
    for (std::int32_t i = 1; i <= net.stored_boundary_count(); ++i)
        listed = listed || net.boundary_nodes.node(i) == node;
    if (!listed) {
        if (net.known_head_count < 0 ||
            net.known_head_count == std::numeric_limits<std::int32_t>::max())
            return false;
        sized.reserve_known_heads(net.known_head_count + 1);
        ++net.known_head_count;
        net.boundary_nodes.node(net.known_head_count) = node;
        net.boundary_nodes.flag(net.known_head_count) = 0;
    }
    net.prescribed_head(node) = head;
    return true;
}

Outcome NetworkAnalysis::analyse() {
    Storage& s = *storage_;
    s.residuals.clear();
    has_results_ = false;
    Network& net = s.sized.net;
    // The band is sized only for a network that passes its checks: its half-bandwidth is then at
    // most its node count.
    if (Fault fault = check_network(net, unlimited_capacities)) {
        s.faults.clear();
        Outcome refused;
        refused.kind = OutcomeKind::refused;
        refused.fault = fault;
        return refused;
    }
    s.sized.size_band();
    Outcome outcome;
    if (flow_ == Flow::laminar) {
        outcome = analyse_laminar(net, s.faults);
    } else {
        outcome = turbulent_first_solution(net, s.state, s.faults);
        if (outcome.kind == OutcomeKind::solved) {
            ResidualList residuals(s.residuals);
            outcome = turbulent_passes(net, s.state, residuals);
        }
    }
    has_results_ = outcome.has_results();
    return outcome;
}

const Network& NetworkAnalysis::network() const {
    return storage_->sized.net;
}

std::int32_t NetworkAnalysis::node_count() const {
    return storage_->sized.net.node_count;
}

std::int32_t NetworkAnalysis::pipe_count() const {
    return storage_->sized.net.element_count;
}

// A header may announce a negative count; no result span is then longer than empty.
static std::size_t count_of(std::int32_t count) {
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

std::span<const float> NetworkAnalysis::heads() const {
    if (!has_results_) return {};
    const Network& net = storage_->sized.net;
    const Vec1<float> source = flow_ == Flow::laminar ? net.rhs : storage_->state.total_heads;
    return {source.data(), count_of(net.node_count)};
}

std::span<const float> NetworkAnalysis::nodal_discharges() const {
    if (!has_results_) return {};
    const Network& net = storage_->sized.net;
    return {net.nodal_discharge.data(), count_of(net.node_count)};
}

std::span<const float> NetworkAnalysis::member_discharges() const {
    if (!has_results_) return {};
    const Network& net = storage_->sized.net;
    return {net.member_discharge.data(), count_of(net.element_count)};
}

std::span<const float> NetworkAnalysis::residuals() const {
    return storage_->residuals;
}

std::span<const Fault> NetworkAnalysis::pipe_faults() const {
    return storage_->faults.list();
}

} // namespace pipenet
