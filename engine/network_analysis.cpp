#include "engine/network_analysis.hpp"

#include <vector>

#include "engine/network_text.hpp"

namespace pipenet {

struct NetworkAnalysis::Storage {
    Network net;
    TurbulentState state;
    PipeFaults faults;
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
    const int failure = read_network_text(
        text, flow_ == Flow::laminar ? Program::lamnet : Program::turbnet, storage_->net);
    if (failure != 0) storage_->net = Network{};
    return failure;
}

namespace {

// True when `number` is one of the network's nodes (or pipes) and lies inside the storage.
bool within(std::int32_t number, std::int32_t count, std::int32_t capacity) {
    return number >= 1 && number <= count && number <= capacity;
}

} // namespace

bool NetworkAnalysis::set_diameter(std::int32_t pipe, float diameter) {
    Network& net = storage_->net;
    if (!within(pipe, net.element_count, max_elements)) return false;
    net.diameter(pipe) = diameter;
    return true;
}

bool NetworkAnalysis::set_known_discharge(std::int32_t node, float discharge) {
    Network& net = storage_->net;
    if (!within(node, net.node_count, max_nodes)) return false;
    net.known_discharge(node) = discharge;
    return true;
}

bool NetworkAnalysis::set_known_head(std::int32_t node, float head) {
    Network& net = storage_->net;
    if (!within(node, net.node_count, max_nodes)) return false;
    bool listed = false;
    for (std::int32_t i = 1; i <= net.stored_boundary_count(); ++i)
        listed = listed || net.boundary_nodes.node(i) == node;
    if (!listed) {
        if (net.known_head_count < 0 || net.known_head_count >= max_boundary_nodes) return false;
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
    Outcome outcome;
    if (flow_ == Flow::laminar) {
        outcome = analyse_laminar(s.net, s.faults);
    } else {
        outcome = turbulent_first_solution(s.net, s.state, s.faults);
        if (outcome.kind == OutcomeKind::solved) {
            ResidualList residuals(s.residuals);
            outcome = turbulent_passes(s.net, s.state, residuals);
        }
    }
    has_results_ = outcome.has_results();
    return outcome;
}

std::int32_t NetworkAnalysis::node_count() const {
    return storage_->net.node_count;
}

std::int32_t NetworkAnalysis::pipe_count() const {
    return storage_->net.element_count;
}

// A header may announce a negative count; no result span is then longer than empty.
static std::size_t count_of(std::int32_t count) {
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

std::span<const float> NetworkAnalysis::heads() const {
    if (!has_results_) return {};
    const Network& net = storage_->net;
    const auto& source =
        flow_ == Flow::laminar ? net.rhs.entries : storage_->state.total_heads.entries;
    return {source.data(), count_of(net.node_count)};
}

std::span<const float> NetworkAnalysis::nodal_discharges() const {
    if (!has_results_) return {};
    const Network& net = storage_->net;
    return {net.nodal_discharge.entries.data(), count_of(net.node_count)};
}

std::span<const float> NetworkAnalysis::member_discharges() const {
    if (!has_results_) return {};
    const Network& net = storage_->net;
    return {net.member_discharge.entries.data(), count_of(net.element_count)};
}

std::span<const float> NetworkAnalysis::residuals() const {
    return storage_->residuals;
}

std::span<const Fault> NetworkAnalysis::pipe_faults() const {
    return storage_->faults.list();
}

} // namespace pipenet
