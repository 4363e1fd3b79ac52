#include "model/read_inp.hpp"

#include <array>
#include <charconv>
#include <initializer_list>
#include <unordered_map>

#include "exchange/inp_export.hpp"
#include "exchange/inp_reader.hpp"
#include "exchange/inp_refusals.hpp"
#include "exchange/inp_units.hpp"

namespace pipenet::model {

namespace {

using exchange::Diagnostic;
using exchange::format_message;
using exchange::Message;
using exchange::Severity;

Place line_place(std::int32_t line) {
    return {line, 0, 0};
}

class InpModelReader {
public:
    InpModelReader(const exchange::InpNetwork& network, std::int64_t time, Model& model,
                   std::vector<Diagnostic>& diagnostics)
        : net_(network), time_(time), model_(model), diagnostics_(diagnostics),
          length_(exchange::length_conversion(network.options.units)),
          diameter_(exchange::diameter_conversion(network.options.units)),
          flow_(exchange::flow_conversion(network.options.units)) {}

    bool run() {
        const exchange::PipeStatuses statuses = exchange::pipe_statuses(net_);
        bool ok = !exchange::refuse_unsupported(net_, statuses, exchange::Refusal::analysis,
                                                diagnostics_);
        switch (net_.options.headloss) {
        case exchange::HeadLoss::hazen_williams:
            model_.law = HeadLossLaw::hazen_williams_inp;
            break;
        case exchange::HeadLoss::darcy_weisbach:
            model_.law = HeadLossLaw::darcy_weisbach;
            break;
        case exchange::HeadLoss::chezy_manning:
            model_.law = HeadLossLaw::chezy_manning;
            break;
        }
        model_.viscosity = exchange::reference_viscosity * net_.options.viscosity;
        model_.units.file =
            std::string(exchange::flow_units_name(net_.options.units)) +
            (exchange::us_units(net_.options.units) ? " (lengths in ft, diameters in in)"
                                                    : " (lengths in m, diameters in mm)");
        model_.elevations = true;
        model_.time = time_;
        add_nodes();
        add_demands();
        ok = add_links(statuses) && ok;
        ok = add_valves() && ok;
        if (model_.nodes.empty() || model_.links.empty()) {
            diagnostics_.push_back({Severity::error, 0,
                                    format_message(Message::no_network,
                                                   {model_.nodes.empty() ? "junctions, reservoirs "
                                                                           "or tanks"
                                                                         : "pipes"})});
            ok = false;
        }
        return ok;
    }

private:
    void add_node(const std::string& id, std::int32_t line) {
        Node node;
        node.id = id;
        node.record = line_place(line);
        index_.emplace(id, static_cast<std::int32_t>(model_.nodes.size()));
        model_.nodes.push_back(std::move(node));
    }

    void add_nodes() {
        for (const exchange::InpJunction& j : net_.junctions) {
            add_node(j.id, j.line);
            model_.nodes.back().elevation = {length_(j.elevation), line_place(j.line)};
        }
        for (const exchange::InpReservoir& r : net_.reservoirs) {
            add_node(r.id, r.line);
            const double multiplier =
                r.pattern.empty() ? 1.0 : exchange::multiplier_at(net_, r.pattern, time_);
            const double head = length_(r.head * multiplier);
            // A reservoir's surface is its head: its pressure is 0.
            model_.nodes.back().elevation = {head, line_place(r.line)};
            model_.nodes.back().fixed_head = Read{head, line_place(r.line)};
        }
        for (const exchange::InpTank& t : net_.tanks) {
            add_node(t.id, t.line);
            model_.nodes.back().elevation = {length_(t.bottom_elevation), line_place(t.line)};
            model_.nodes.back().fixed_head =
                Read{length_(t.bottom_elevation + t.initial_level), line_place(t.line)};
            ++model_.tanks;
        }
        for (const exchange::InpCoordinate& c : net_.coordinates) {
            auto it = index_.find(c.node);
            if (it == index_.end()) continue; // the reader has warned
            Node& node = model_.nodes[static_cast<std::size_t>(it->second)];
            node.x = {length_(c.x), line_place(c.line)};
            node.y = {length_(c.y), line_place(c.line)};
        }
    }

    // A junction's demand is the sum over its categories (its [DEMANDS] lines, else its own
    // line) of base demand x multiplier, drawn off the network: negative in the model.
    void add_demands() {
        std::vector<bool> replaced(net_.junctions.size(), false);
        std::vector<double> demand(net_.junctions.size(), 0.0);
        std::vector<std::int32_t> line(net_.junctions.size(), 0);
        for (const exchange::InpDemand& d : net_.demands) {
            auto it = index_.find(d.junction);
            if (it == index_.end() || static_cast<std::size_t>(it->second) >= net_.junctions.size())
                continue; // reported by the reader
            const auto n = static_cast<std::size_t>(it->second);
            if (!replaced[n]) demand[n] = 0.0;
            replaced[n] = true;
            demand[n] += d.base_demand * exchange::multiplier_at(net_, d.pattern, time_);
            line[n] = d.line;
        }
        for (std::size_t n = 0; n < net_.junctions.size(); ++n) {
            const exchange::InpJunction& j = net_.junctions[n];
            if (!replaced[n]) {
                demand[n] = j.base_demand * exchange::multiplier_at(net_, j.pattern, time_);
                line[n] = j.line;
            }
            const double q = -flow_(demand[n] * net_.options.demand_multiplier);
            model_.nodes[n].demand = {q == 0.0 ? 0.0 : q, line_place(line[n])};
        }
    }

    bool add_links(const exchange::PipeStatuses& statuses) {
        bool ok = true;
        for (std::size_t i = 0; i < net_.pipes.size(); ++i) {
            const exchange::InpPipe& p = net_.pipes[i];
            auto a = index_.find(p.start_node);
            auto b = index_.find(p.end_node);
            if (a == index_.end() || b == index_.end()) continue; // reported by the reader
            if (!(p.length > 0.0 && p.diameter > 0.0 && p.roughness > 0.0)) {
                diagnostics_.push_back({Severity::error, p.line,
                                        format_message(Message::nonpositive_pipe_value, {p.id})});
                ok = false;
                continue;
            }
            Link link;
            link.id = p.id;
            link.record = line_place(p.line);
            link.start = a->second;
            link.end = b->second;
            link.length = {length_(p.length), line_place(p.line)};
            link.diameter = {diameter_(p.diameter), line_place(p.line)};
            // A Darcy-Weisbach roughness height is read in mm or in 10^-3 ft.
            const double roughness = model_.law != HeadLossLaw::darcy_weisbach ? p.roughness
                                     : exchange::us_units(net_.options.units)
                                         ? p.roughness * 0.3048e-3
                                         : p.roughness * 1.0e-3;
            link.roughness = {roughness, line_place(p.line)};
            link.minor_loss = {p.minor_loss, line_place(p.line)};
            link.check_valve = p.status == exchange::LinkStatus::check_valve ||
                               statuses.status[i] == exchange::LinkStatus::check_valve;
            if (statuses.status[i] == exchange::LinkStatus::closed) {
                link.status = LinkStatus::closed;
                diagnostics_.push_back({Severity::note, statuses.line[i],
                                        format_message(Message::closed_link_no_flow, {p.id})});
            }
            if (p.start_node == p.end_node)
                diagnostics_.push_back({Severity::warning, p.line,
                                        format_message(Message::self_loop, {p.id, p.start_node})});
            model_.links.push_back(std::move(link));
        }
        return ok;
    }

    // A PRV, PSV or PBV setting in the file's pressure unit as a head in metres of water: psi in
    // US units (0.4333 psi per foot), metres in SI units.
    double pressure_head(double setting) const {
        return exchange::us_units(net_.options.units) ? setting / 0.4333 * 0.3048 : setting;
    }

    void valve_error(std::int32_t line, Message message,
                     std::initializer_list<std::string_view> values) {
        diagnostics_.push_back({Severity::error, line, format_message(message, values)});
    }

    bool add_valves() {
        bool ok = true;
        std::unordered_map<std::string_view, const exchange::InpCurve*> curves;
        for (const exchange::InpCurve& c : net_.curves) curves.try_emplace(c.id, &c);
        // The last [STATUS] line of a valve decides: OPEN, CLOSED, or a new setting.
        std::unordered_map<std::string_view, const exchange::InpStatus*> statuses;
        for (const exchange::InpStatus& s : net_.statuses) statuses[s.link] = &s;
        const bool us = exchange::us_units(net_.options.units);
        const std::string own_pressure = us ? "PSI" : "METERS";
        bool pressure_refused = false;
        for (const exchange::InpValve& v : net_.valves) {
            auto a = index_.find(v.start_node);
            auto b = index_.find(v.end_node);
            if (a == index_.end() || b == index_.end()) continue; // reported by the reader
            Valve valve;
            valve.type = v.type == "PRV"   ? ValveType::prv
                         : v.type == "PSV" ? ValveType::psv
                         : v.type == "PBV" ? ValveType::pbv
                         : v.type == "FCV" ? ValveType::fcv
                         : v.type == "TCV" ? ValveType::tcv
                                           : ValveType::gpv;
            double setting = v.setting;
            std::int32_t setting_line = v.line;
            Link link;
            link.id = v.id;
            link.kind = LinkKind::valve;
            link.record = line_place(v.line);
            link.start = a->second;
            link.end = b->second;
            link.diameter = {diameter_(v.diameter), line_place(v.line)};
            link.minor_loss = {v.minor_loss, line_place(v.line)};
            if (auto s = statuses.find(v.id); s != statuses.end()) {
                const exchange::InpStatus& status = *s->second;
                if (status.setting) {
                    setting = status.value;
                    setting_line = status.line;
                } else if (status.status == exchange::LinkStatus::closed) {
                    link.status = LinkStatus::closed;
                } else if (status.status == exchange::LinkStatus::open) {
                    valve.fixed_open = true;
                } else {
                    valve_error(status.line, Message::valve_bad_value,
                                {v.id, "OPEN, CLOSED or a setting as its status, not CV"});
                    ok = false;
                }
            }
            const bool pressure = valve.type == ValveType::prv || valve.type == ValveType::psv ||
                                  valve.type == ValveType::pbv;
            if (!(v.diameter > 0.0)) {
                valve_error(v.line, Message::valve_bad_value, {v.id, "a positive diameter"});
                ok = false;
            }
            if (!(v.minor_loss >= 0.0)) {
                valve_error(v.line, Message::valve_bad_value,
                            {v.id, "a minor loss coefficient of 0 or more"});
                ok = false;
            }
            if (v.start_node == v.end_node) {
                valve_error(v.line, Message::valve_bad_value, {v.id, "two different end nodes"});
                ok = false;
            }
            if (valve.type != ValveType::gpv && setting < 0.0) {
                std::array<char, 32> text{};
                const char* end =
                    std::to_chars(text.data(), text.data() + text.size(), setting).ptr;
                valve_error(setting_line, Message::valve_negative_setting,
                            {v.id, std::string_view(text.data(), end)});
                ok = false;
            }
            const Node& start = model_.nodes[static_cast<std::size_t>(link.start)];
            const Node& end = model_.nodes[static_cast<std::size_t>(link.end)];
            if (link.status == LinkStatus::open && start.fixed_head && end.fixed_head) {
                valve_error(v.line, Message::valve_fixed_heads, {v.id, start.id, end.id});
                ok = false;
            } else if (link.status == LinkStatus::open && !valve.fixed_open &&
                       ((valve.type == ValveType::prv && end.fixed_head) ||
                        (valve.type == ValveType::psv && start.fixed_head))) {
                valve_error(v.line, Message::valve_controls_fixed_head,
                            {v.id, v.type, valve.type == ValveType::prv ? end.id : start.id});
                ok = false;
            }
            if (pressure && !net_.options.pressure.empty() &&
                net_.options.pressure != own_pressure && !pressure_refused) {
                valve_error(net_.options.pressure_line, Message::valve_pressure_units,
                            {net_.options.pressure, us ? "psi" : "metres", us ? "PSI" : "METERS"});
                pressure_refused = true;
                ok = false;
            }
            switch (valve.type) {
            case ValveType::prv:
            case ValveType::psv:
            case ValveType::pbv:
                valve.setting = pressure_head(setting);
                break;
            case ValveType::fcv:
                valve.setting = flow_(setting);
                break;
            case ValveType::tcv:
                valve.setting = setting;
                break;
            case ValveType::gpv: {
                auto c = curves.find(v.curve);
                if (c == curves.end()) {
                    ok = false; // reported by the reader
                    break;
                }
                for (const auto& [q, h] : c->second->points)
                    valve.curve.emplace_back(flow_(q), length_(h));
                std::string why;
                if (valve.curve.size() < 2) why = "has fewer than two points";
                for (std::size_t i = 1; why.empty() && i < valve.curve.size(); ++i)
                    if (!(valve.curve[i].first > valve.curve[i - 1].first))
                        why = "needs increasing flows";
                    else if (valve.curve[i].second < valve.curve[i - 1].second)
                        why = "has a head loss that falls as the flow rises";
                if (why.empty() &&
                    !(valve.curve.front().first >= 0.0 && valve.curve.front().second >= 0.0))
                    why = "needs flows and head losses of 0 or more";
                if (!why.empty()) {
                    valve_error(c->second->line, Message::valve_curve_unusable,
                                {v.curve, v.id, why});
                    ok = false;
                }
                break;
            }
            }
            valve.link = static_cast<std::int32_t>(model_.links.size());
            model_.links.push_back(std::move(link));
            model_.valves.push_back(std::move(valve));
        }
        return ok;
    }

    const exchange::InpNetwork& net_;
    std::int64_t time_;
    Model& model_;
    std::vector<Diagnostic>& diagnostics_;
    exchange::Conversion length_;
    exchange::Conversion diameter_;
    exchange::Conversion flow_;
    std::unordered_map<std::string_view, std::int32_t> index_;
};

} // namespace

bool looks_like_inp(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(begin, end - begin);
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first != std::string_view::npos && line[first] != ';') return line[first] == '[';
        begin = end + 1;
    }
    return false;
}

bool model_from_inp(const exchange::InpNetwork& network, const std::string& file, std::int64_t time,
                    Model& model, std::vector<Diagnostic>& diagnostics) {
    model = Model{};
    model.file = file;
    return InpModelReader(network, time, model, diagnostics).run();
}

bool read_inp_model(std::string_view text, const std::string& file, std::int64_t time, Model& model,
                    std::vector<Diagnostic>& diagnostics) {
    exchange::InpNetwork network;
    const bool read = exchange::read_inp(text, network, diagnostics);
    // Every reason in one pass: what the model refuses is said even when a line was unreadable.
    const bool filled = model_from_inp(network, file, time, model, diagnostics);
    return read && filled;
}

} // namespace pipenet::model
