#include "model/read_inp.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>
#include <map>
#include <optional>
#include <unordered_map>

#include "exchange/inp_export.hpp"
#include "exchange/inp_reader.hpp"
#include "exchange/inp_refusals.hpp"
#include "exchange/inp_units.hpp"

namespace pipenet::model {

namespace {

using exchange::Diagnostic;
using exchange::diagnostic;
using exchange::Message;

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
        apply_controls();
        if (model_.nodes.empty() || model_.links.empty()) {
            diagnostics_.push_back(diagnostic(Message::no_network, 0,
                                              {model_.nodes.empty() ? "junctions, reservoirs "
                                                                      "or tanks"
                                                                    : "pipes"}));
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
            std::optional<Link> joined =
                link_between(p.id, LinkKind::pipe, p.start_node, p.end_node, p.line);
            if (!joined) continue;
            if (!(p.length > 0.0 && p.diameter > 0.0 && p.roughness > 0.0)) {
                diagnostics_.push_back(diagnostic(Message::nonpositive_pipe_value, p.line, {p.id}));
                ok = false;
                continue;
            }
            Link link = std::move(*joined);
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
                diagnostics_.push_back(
                    diagnostic(Message::closed_link_no_flow, statuses.line[i], {p.id}));
            }
            if (p.start_node == p.end_node)
                diagnostics_.push_back(
                    diagnostic(Message::self_loop, p.line, {p.id, p.start_node}));
            model_.links.push_back(std::move(link));
        }
        add_pumps();
        return ok;
    }

    // A link of `kind` from its line, joining two nodes of the model; none when an end names
    // no node (the reader has said so).
    std::optional<Link> link_between(const std::string& id, LinkKind kind, const std::string& start,
                                     const std::string& end, std::int32_t line) const {
        auto a = index_.find(start);
        auto b = index_.find(end);
        if (a == index_.end() || b == index_.end()) return std::nullopt;
        Link link;
        link.id = id;
        link.kind = kind;
        link.record = line_place(line);
        link.start = a->second;
        link.end = b->second;
        return link;
    }

    // Pumps follow the pipes. A [STATUS] line sets a pump open, closed, or to a speed; a speed
    // of 0 closes it.
    void add_pumps() {
        std::unordered_map<std::string_view, const exchange::InpCurve*> curves;
        for (const exchange::InpCurve& c : net_.curves) curves.try_emplace(c.id, &c);
        std::unordered_map<std::string_view, const exchange::InpStatus*> statuses;
        for (const exchange::InpStatus& s : net_.statuses) statuses[s.link] = &s;
        const bool us = exchange::us_units(net_.options.units);
        for (const exchange::InpPump& p : net_.pumps) {
            std::optional<Link> joined =
                link_between(p.id, LinkKind::pump, p.start_node, p.end_node, p.line);
            if (!joined) continue;
            Link link = std::move(*joined);
            Pump pump;
            pump.link = static_cast<std::int32_t>(model_.links.size());
            pump.place = line_place(p.line);
            pump.speed = p.speed;
            if (!p.curve.empty()) {
                pump.curve_id = p.curve;
                auto curve = curves.find(p.curve);
                if (curve != curves.end())
                    for (const auto& [x, y] : curve->second->points)
                        pump.curve.push_back({flow_(x), length_(y)});
            } else {
                // Horsepower (745.7 W) in US units. In SI units the reference solver takes
                // the kW given as that many kW / 0.7457, 34 % more: followed, so that an
                // imported network keeps the heads of its source.
                pump.power = p.power * (us ? 745.7 : 1000.0 / 0.7457);
            }
            bool closed = false;
            std::int32_t status_line = p.line;
            if (auto s = statuses.find(p.id); s != statuses.end()) {
                status_line = s->second->line;
                if (s->second->setting) {
                    pump.speed = s->second->value;
                    pump.place = line_place(status_line);
                } else {
                    closed = s->second->status == exchange::LinkStatus::closed;
                }
            }
            if (!p.pattern.empty()) pump.speed *= exchange::multiplier_at(net_, p.pattern, time_);
            if (closed || pump.speed == 0.0) {
                link.status = LinkStatus::closed;
                diagnostics_.push_back(diagnostic(Message::closed_pump, status_line, {p.id}));
            }
            model_.links.push_back(std::move(link));
            model_.pumps.push_back(std::move(pump));
        }
    }

    // A PRV, PSV or PBV setting in the file's pressure unit as a head in metres of water: psi in
    // US units (0.4333 psi per foot), metres in SI units.
    double pressure_head(double setting) const {
        return exchange::us_units(net_.options.units) ? setting / 0.4333 * 0.3048 : setting;
    }

    void valve_error(std::int32_t line, Message message,
                     std::initializer_list<std::string_view> values) {
        diagnostics_.push_back(diagnostic(message, line, values));
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
            std::optional<Link> joined =
                link_between(v.id, LinkKind::valve, v.start_node, v.end_node, v.line);
            if (!joined) continue;
            Valve valve;
            valve.type = v.type == "PRV"   ? ValveType::prv
                         : v.type == "PSV" ? ValveType::psv
                         : v.type == "PBV" ? ValveType::pbv
                         : v.type == "FCV" ? ValveType::fcv
                         : v.type == "TCV" ? ValveType::tcv
                                           : ValveType::gpv;
            double setting = v.setting;
            std::int32_t setting_line = v.line;
            Link link = std::move(*joined);
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
            const bool law_only = valve.type == ValveType::tcv || valve.type == ValveType::gpv;
            if (link.status == LinkStatus::open && start.fixed_head && end.fixed_head && law_only) {
                diagnostics_.push_back(diagnostic(Message::valve_fixed_heads_solved, v.line,
                                                  {v.id, start.id, end.id}));
            } else if (link.status == LinkStatus::open && start.fixed_head && end.fixed_head) {
                valve_error(v.line, Message::valve_fixed_heads, {v.id, start.id, end.id});
                ok = false;
            } else if (link.status == LinkStatus::open && !valve.fixed_open &&
                       ((valve.type == ValveType::prv && end.fixed_head) ||
                        (valve.type == ValveType::psv && start.fixed_head))) {
                valve_error(v.line, Message::valve_controls_fixed_head,
                            {v.id, v.type, valve.type == ValveType::prv ? end.id : start.id});
                ok = false;
            } else if ((valve.type == ValveType::prv || valve.type == ValveType::psv ||
                        valve.type == ValveType::fcv) &&
                       (start.fixed_head || end.fixed_head)) {
                diagnostics_.push_back(
                    diagnostic(Message::valve_at_fixed_head, v.line,
                               {v.id, v.type, start.fixed_head ? start.id : end.id}));
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

    // Not applied, said of each control and rule: the first few one by one, the rest summed up.
    struct Unapplied {
        std::int32_t count = 0, first = 0, last = 0;
    };
    static constexpr std::int32_t listed = 10;
    void not_applied(Unapplied& u, std::int32_t line, const std::string& what,
                     const std::string& why) {
        if (++u.count <= listed) {
            diagnostics_.push_back(diagnostic(Message::control_not_applied, line, {what, why}));
            return;
        }
        u.first = u.count == listed + 1 ? line : std::min(u.first, line);
        u.last = std::max(u.last, line);
    }
    void sum_up(const Unapplied& u, std::string_view kind, std::string_view why) {
        if (u.count <= listed) return;
        diagnostics_.push_back(diagnostic(Message::more_not_applied, u.first,
                                          {std::to_string(u.count - listed), kind,
                                           std::to_string(u.first), std::to_string(u.last), why}));
    }

    static std::string upper_word(const std::string& word) {
        std::string out = word;
        for (char& c : out)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return out;
    }

    static std::string time_text(std::int64_t seconds) {
        const std::int64_t minutes = seconds / 60;
        std::string text = std::to_string(minutes / 60) + ":" + (minutes % 60 < 10 ? "0" : "") +
                           std::to_string(minutes % 60);
        if (seconds % 60 != 0)
            text += (seconds % 60 < 10 ? ":0" : ":") + std::to_string(seconds % 60);
        return text;
    }

    // Simple controls that hold at `time`: one timed at or before it (the latest for each
    // link, the later line on a tie), or one on a tank's level at the start, when the tank is at
    // its initial level. The others depend on how the network moves over time, and rules are
    // evaluated as a simulation steps: each is said to be not applied.
    void apply_controls() {
        std::unordered_map<std::string_view, std::size_t> links;
        for (std::size_t e = 0; e < model_.links.size(); ++e) links.emplace(model_.links[e].id, e);
        std::unordered_map<std::string_view, std::size_t> valves;
        for (std::size_t v = 0; v < model_.valves.size(); ++v)
            valves.emplace(model_.links[static_cast<std::size_t>(model_.valves[v].link)].id, v);
        std::unordered_map<std::string_view, std::size_t> pumps;
        for (std::size_t p = 0; p < model_.pumps.size(); ++p)
            pumps.emplace(model_.links[static_cast<std::size_t>(model_.pumps[p].link)].id, p);
        std::unordered_map<std::string_view, const exchange::InpTank*> tanks;
        for (const exchange::InpTank& t : net_.tanks) tanks.emplace(t.id, &t);

        struct Chosen {
            const exchange::InpControl* control = nullptr;
            std::int64_t at = -1;
        };
        std::map<std::string, Chosen> chosen; // per link ID
        Unapplied unapplied;
        for (const exchange::InpControl& c : net_.controls) {
            const std::vector<std::string>& w = c.words;
            auto word = [&](std::size_t i) { return i < w.size() ? upper_word(w[i]) : ""; };
            const std::string what =
                w.size() > 1 && word(0) == "LINK" ? "control of link '" + w[1] + "'" : "control";
            std::int64_t at = -1;
            if (word(0) != "LINK" || w.size() < 6) {
                not_applied(unapplied, c.line, what, "not a LINK ... AT or LINK ... IF control");
                continue;
            }
            if (word(3) == "AT" && word(4) == "TIME") {
                std::int64_t seconds = 0;
                if (!exchange::parse_duration(w[5], w.size() > 6 ? std::string_view(w[6]) : "",
                                              seconds)) {
                    not_applied(unapplied, c.line, what, "its time '" + w[5] + "' is not a time");
                    continue;
                }
                if (seconds > time_) {
                    not_applied(unapplied, c.line, what,
                                "it acts at " + time_text(seconds) + ", after the time analysed");
                    continue;
                }
                at = seconds;
            } else if (word(3) == "AT" && word(4) == "CLOCKTIME") {
                // It acts every day at that time of day: the last time at or before the time
                // analysed, the start being at the Start ClockTime of [TIMES].
                std::int64_t clock = 0;
                if (!exchange::parse_clock_time(w[5], w.size() > 6 ? std::string_view(w[6]) : "",
                                                clock)) {
                    not_applied(unapplied, c.line, what,
                                "its time of day '" + w[5] + "' is not a clock time");
                    continue;
                }
                constexpr std::int64_t day = 24 * 3600;
                const std::int64_t first =
                    ((clock - net_.options.start_clocktime) % day + day) % day;
                if (first > time_) {
                    not_applied(unapplied, c.line, what,
                                "it first acts at " + time_text(first) +
                                    ", after the time analysed");
                    continue;
                }
                at = first + (time_ - first) / day * day;
            } else if (word(3) == "IF" && word(4) == "NODE" && w.size() >= 8) {
                auto t = tanks.find(w[5]);
                double value = 0.0;
                const std::string side = word(6);
                const auto [end, ec] =
                    std::from_chars(w[7].data(), w[7].data() + w[7].size(), value);
                if (t == tanks.end() || time_ != 0 || (side != "ABOVE" && side != "BELOW") ||
                    ec != std::errc{} || end != w[7].data() + w[7].size()) {
                    not_applied(unapplied, c.line, what,
                                t == tanks.end()
                                    ? "it depends on the pressure or head at node '" + w[5] +
                                          "', which the analysis finds, not the file"
                                : time_ != 0 ? "it depends on the level of tank '" + w[5] +
                                                   "' at that time, which a simulation over "
                                                   "time gives"
                                             : "its condition cannot be read");
                    continue;
                }
                const double level = t->second->initial_level;
                if (!(side == "ABOVE" ? level > value : level < value)) {
                    not_applied(unapplied, c.line, what,
                                "the initial level of tank '" + w[5] + "' is not " +
                                    (side == "ABOVE" ? "above " : "below ") + w[7]);
                    continue;
                }
                at = 0;
            } else {
                not_applied(unapplied, c.line, what, "not a LINK ... AT or LINK ... IF control");
                continue;
            }
            if (links.find(w[1]) == links.end()) {
                // A link the analysis does not hold: its control has nothing to act on.
                not_applied(unapplied, c.line, what, "link '" + w[1] + "' is not analysed");
                continue;
            }
            Chosen& best = chosen[w[1]];
            if (at >= best.at) best = {&c, at};
        }
        sum_up(unapplied, "controls", "for reasons like those above");

        std::vector<std::pair<std::string, Chosen>> in_order(chosen.begin(), chosen.end());
        std::sort(in_order.begin(), in_order.end(), [](const auto& a, const auto& b) {
            return a.second.control->line < b.second.control->line;
        });
        for (const auto& [id, best] : in_order) {
            const exchange::InpControl& c = *best.control;
            Link& link = model_.links[links.at(id)];
            const std::string status = upper_word(c.words[2]);
            auto v = valves.find(id);
            auto pump = pumps.find(id);
            std::string done;
            double setting = 0.0;
            const auto [end, ec] =
                std::from_chars(c.words[2].data(), c.words[2].data() + c.words[2].size(), setting);
            const bool number = ec == std::errc{} && end == c.words[2].data() + c.words[2].size();
            if (status == "OPEN" || status == "CLOSED") {
                link.status = status == "OPEN" ? LinkStatus::open : LinkStatus::closed;
                if (v != valves.end()) model_.valves[v->second].fixed_open = status == "OPEN";
                done = status == "OPEN" ? "open" : "closed";
            } else if (pump != pumps.end() && number && setting >= 0.0) {
                // A pump's setting is its relative speed; 0 stops it.
                model_.pumps[pump->second].speed = setting;
                link.status = setting == 0.0 ? LinkStatus::closed : LinkStatus::open;
                done = "set to speed " + c.words[2];
            } else if (v != valves.end() && model_.valves[v->second].type != ValveType::gpv) {
                if (!number || !(setting >= 0.0)) {
                    diagnostics_.push_back(diagnostic(
                        Message::control_not_applied, c.line,
                        {"control of link '" + id + "'",
                         "its setting '" + c.words[2] + "' is not a number of 0 or more"}));
                    continue;
                }
                Valve& valve = model_.valves[v->second];
                valve.setting = valve.type == ValveType::fcv   ? flow_(setting)
                                : valve.type == ValveType::tcv ? setting
                                                               : pressure_head(setting);
                valve.fixed_open = false;
                link.status = LinkStatus::open;
                done = "set to " + c.words[2];
            } else {
                diagnostics_.push_back(
                    diagnostic(Message::control_not_applied, c.line,
                               {"control of link '" + id + "'",
                                v != valves.end() ? "a GPV's setting is its curve"
                                : pump != pumps.end()
                                    ? "its speed '" + c.words[2] + "' is not a number of 0 or more"
                                    : "a setting has no effect on a pipe"}));
                continue;
            }
            diagnostics_.push_back(
                diagnostic(Message::control_applied, c.line, {id, done, time_text(best.at)}));
        }

        Unapplied rules;
        for (const exchange::InpRule& r : net_.rules)
            not_applied(rules, r.line, "rule '" + r.id + "'",
                        "rules are evaluated as a simulation steps through time");
        sum_up(rules, "rules", "rules are evaluated as a simulation steps through time");
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
