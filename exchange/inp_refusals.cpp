#include "exchange/inp_refusals.hpp"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pipenet::exchange {

namespace {

// Refused elements of one kind listed one by one before the rest are summed up.
constexpr std::size_t listed_refusals = 3;

// The errors for the elements of one kind: the first few by name, then one line for the rest, so
// that a network with thousands of valves gets a summary, not thousands of lines.
class Refusals {
public:
    Refusals(std::vector<Diagnostic>& diagnostics, Message message, std::string_view kind)
        : diagnostics_(diagnostics), message_(message), kind_(kind) {}
    Refusals(const Refusals&) = delete;
    Refusals& operator=(const Refusals&) = delete;
    ~Refusals() {
        if (count_ <= listed_refusals) return;
        diagnostics_.push_back(diagnostic(Message::more_refused, first_line_,
                                          {std::to_string(count_ - listed_refusals), kind_,
                                           std::to_string(first_line_), std::to_string(last_line_),
                                           std::to_string(count_)}));
    }

    void add(const std::string& id, std::int32_t line) {
        if (++count_ <= listed_refusals) {
            diagnostics_.push_back(diagnostic(message_, line, {id}));
            return;
        }
        if (count_ == listed_refusals + 1) first_line_ = line;
        first_line_ = std::min(first_line_, line);
        last_line_ = std::max(last_line_, line);
    }
    bool any() const { return count_ > 0; }

private:
    std::vector<Diagnostic>& diagnostics_;
    Message message_;
    std::string_view kind_;
    std::size_t count_ = 0;
    std::int32_t first_line_ = 0;
    std::int32_t last_line_ = 0;
};

} // namespace

PipeStatuses pipe_statuses(const InpNetwork& network) {
    PipeStatuses statuses;
    std::unordered_map<std::string_view, std::size_t> pipe_index;
    for (std::size_t i = 0; i < network.pipes.size(); ++i) {
        pipe_index.emplace(network.pipes[i].id, i);
        statuses.status.push_back(network.pipes[i].status);
        statuses.line.push_back(network.pipes[i].line);
    }
    for (const InpStatus& s : network.statuses) {
        auto it = pipe_index.find(s.link);
        if (it == pipe_index.end() || s.setting) continue;
        statuses.status[it->second] = s.status;
        statuses.line[it->second] = s.line;
    }
    return statuses;
}

bool refuse_unsupported(const InpNetwork& network, const PipeStatuses& statuses, Refusal wording,
                        std::vector<Diagnostic>& diagnostics) {
    const bool programs = wording == Refusal::programs;
    bool refused = false;
    {
        // The analysis has pumps; the programs' files do not.
        Refusals pumps(diagnostics, Message::pump_refused, "pumps");
        for (std::size_t i = 0; programs && i < network.pumps.size(); ++i)
            pumps.add(network.pumps[i].id, network.pumps[i].line);
        Refusals valves(diagnostics,
                        programs ? Message::valve_refused : Message::valve_not_analysed, "valves");
        // The analysis has valves; the programs' files do not.
        for (std::size_t i = 0; programs && i < network.valves.size(); ++i)
            valves.add(network.valves[i].id, network.valves[i].line);
        // The analysis has check valves; the programs' files do not.
        Refusals check_valves(diagnostics, Message::check_valve_refused, "check valves");
        for (std::size_t i = 0; programs && i < network.pipes.size(); ++i)
            if (statuses.status[i] == LinkStatus::check_valve)
                check_valves.add(network.pipes[i].id, statuses.line[i]);
        Refusals emitters(diagnostics,
                          programs ? Message::emitter_refused : Message::emitter_not_analysed,
                          "emitters");
        for (const InpEmitter& e : network.emitters)
            if (e.coefficient != 0.0) emitters.add(e.junction, e.line);
        refused = pumps.any() || valves.any() || check_valves.any() || emitters.any();
    }
    // The analysis has every head-loss law; the programs' files hold Hazen-Williams only.
    if (programs && network.options.headloss != HeadLoss::hazen_williams) {
        diagnostics.push_back(
            diagnostic(Message::headloss_refused, network.options.headloss_line,
                       {network.options.headloss == HeadLoss::darcy_weisbach ? "D-W" : "C-M"}));
        refused = true;
    }
    // The analysis says of each control and rule whether it applies.
    if (programs && network.controls_line != 0)
        diagnostics.push_back(
            diagnostic(Message::controls_ignored, network.controls_line, {"CONTROLS] or [RULES"}));
    return refused;
}

} // namespace pipenet::exchange
