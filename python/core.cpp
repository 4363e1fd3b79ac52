// pipenet._core: a network model read from a file or a text, changed by ID or by arrays, and
// analysed in double precision with the GIL released. The solver of each network keeps its
// symbolic factorization and its last heads between solves.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <numbers>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "analysis/analyse.hpp"
#include "analysis/plausibility.hpp"
#include "exchange/messages.hpp"
#include "model/findings.hpp"
#include "model/network_model.hpp"
#include "model/read_inp.hpp"
#include "model/read_records.hpp"

namespace py = pybind11;
namespace model = pipenet::model;
namespace analysis = pipenet::analysis;
namespace exchange = pipenet::exchange;
namespace messages = pipenet::messages;
using pipenet::Program;

namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

struct Message {
    std::string severity;
    std::string code;
    std::string text;
};

[[noreturn]] void raise(const char* kind, py::object first, py::object second) {
    py::object type = py::module_::import("pipenet._errors").attr(kind);
    PyErr_SetObject(type.ptr(), py::make_tuple(first, second).ptr());
    throw py::error_already_set();
}

py::list message_list(const std::vector<Message>& messages) {
    py::list list;
    for (const Message& m : messages) list.append(py::cast(m));
    return list;
}

Message finding_message(const model::Finding& finding) {
    const model::FindingEntry& entry = model::finding_entry(finding.code);
    return {std::string(model::severity_name(entry.severity)), std::string(entry.code),
            finding.text};
}

// A message of the table with its values filled in.
Message table_message(messages::Id id, std::initializer_list<std::string> values) {
    return finding_message(model::make_finding(id, values));
}

const char* outcome_name(analysis::Outcome outcome) {
    switch (outcome) {
    case analysis::Outcome::solved:
        return "solved";
    case analysis::Outcome::not_converged:
        return "not_converged";
    case analysis::Outcome::singular:
        return "singular";
    case analysis::Outcome::refused:
        break;
    }
    return "refused";
}

template <typename T>
py::array_t<T> to_array(const std::vector<T>& values) {
    py::array_t<T> array(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
}

void require_finite(double value, const char* what) {
    if (!std::isfinite(value)) throw py::value_error(std::string(what) + " must be finite");
}

void require_positive(double value, const char* what) {
    if (!(value > 0.0) || !std::isfinite(value))
        throw py::value_error(std::string(what) + " must be finite and positive, not " +
                              std::to_string(value));
}

struct Result {
    std::string outcome;
    py::list node_ids, link_ids;
    std::vector<double> heads, pressures, flows, velocities, balance_errors, nodal_discharges;
    std::vector<analysis::Pass> passes;
    std::vector<Message> messages;
    double max_imbalance = 0.0;
};

class Network {
public:
    Network(model::Model model, std::vector<Message> read_messages)
        : model_(std::move(model)), read_messages_(std::move(read_messages)) {
        index();
    }
    Network(const Network& other) {
        std::lock_guard lock(other.mutex_);
        model_ = other.model_;
        settings_ = other.settings_;
        read_messages_ = other.read_messages_;
        node_index_ = other.node_index_;
        link_index_ = other.link_index_;
        last_heads_ = other.last_heads_;
    }
    Network& operator=(const Network&) = delete;

    const model::Model& model() const { return model_; }
    analysis::Settings& settings() { return settings_; }
    const std::vector<Message>& read_messages() const { return read_messages_; }

    std::size_t node(const std::string& id) const {
        const auto found = node_index_.find(id);
        if (found == node_index_.end()) throw py::key_error("no node with ID '" + id + "'");
        return found->second;
    }
    std::size_t link(const std::string& id) const {
        const auto found = link_index_.find(id);
        if (found == link_index_.end()) throw py::key_error("no link with ID '" + id + "'");
        return found->second;
    }

    // Every change goes through here, so that a solve on another thread never sees half of one.
    template <typename Change>
    void change(Change&& apply) {
        std::lock_guard lock(mutex_);
        apply(model_);
    }

    Result solve() {
        analysis::Result r;
        std::vector<Message> messages;
        {
            py::gil_scoped_release release;
            std::lock_guard lock(mutex_);
            if (!solver_) solver_ = std::make_unique<analysis::Solver>();
            for (const model::Finding& f : analysis::input_findings(model_))
                messages.push_back(finding_message(f));
            r = solver_->run(model_, settings_, last_heads_);
            for (const model::Finding& f : r.findings) messages.push_back(finding_message(f));
            if (r.outcome == analysis::Outcome::solved) {
                for (const model::Finding& f : analysis::result_findings(model_, r))
                    messages.push_back(finding_message(f));
                last_heads_ = r.heads;
            } else {
                last_heads_.clear();
            }
        }
        if (r.outcome != analysis::Outcome::solved)
            raise("AnalysisError", py::str(outcome_name(r.outcome)), message_list(messages));
        return gather(r, std::move(messages));
    }

    py::list node_ids() const {
        py::list ids;
        for (const model::Node& n : model_.nodes) ids.append(n.id);
        return ids;
    }
    py::list link_ids() const {
        py::list ids;
        for (const model::Link& l : model_.links) ids.append(l.id);
        return ids;
    }

private:
    void index() {
        for (std::size_t i = 0; i < model_.nodes.size(); ++i) node_index_[model_.nodes[i].id] = i;
        for (std::size_t e = 0; e < model_.links.size(); ++e) link_index_[model_.links[e].id] = e;
    }

    Result gather(const analysis::Result& r, std::vector<Message> messages) const {
        Result out;
        out.outcome = outcome_name(r.outcome);
        out.node_ids = node_ids();
        out.link_ids = link_ids();
        out.heads = r.heads;
        out.nodal_discharges = r.nodal_discharge;
        const std::size_t n = model_.nodes.size();
        out.pressures.assign(n, not_a_number);
        out.balance_errors.assign(n, not_a_number);
        for (std::size_t i = 0; i < n; ++i) {
            const model::Node& node = model_.nodes[i];
            if (!r.solved[i]) continue;
            if (model_.elevations) out.pressures[i] = r.heads[i] - node.elevation.value;
            if (!node.fixed_head) out.balance_errors[i] = r.nodal_discharge[i] - node.demand.value;
        }
        out.flows = r.flows;
        out.velocities.resize(model_.links.size());
        for (std::size_t e = 0; e < model_.links.size(); ++e) {
            const double d = model_.links[e].diameter.value;
            // A pump has no cross-section: 0, as in pipenet solve's results.
            out.velocities[e] = model_.links[e].kind == model::LinkKind::pump
                                    ? 0.0
                                    : r.flows[e] / (std::numbers::pi / 4.0 * d * d);
        }
        out.passes = r.passes;
        out.messages = std::move(messages);
        out.max_imbalance = r.max_imbalance;
        return out;
    }

    model::Model model_;
    analysis::Settings settings_;
    std::vector<Message> read_messages_;
    std::unordered_map<std::string, std::size_t> node_index_, link_index_;
    std::vector<double> last_heads_;
    std::unique_ptr<analysis::Solver> solver_; // a copy makes its own on its first solve
    mutable std::mutex mutex_;
};

Network parse(const std::string& text, const std::string& kind, std::int64_t time,
              const std::string& file) {
    model::Model m;
    std::vector<Message> messages;
    bool read = false;
    if (kind == "inp") {
        if (time < 0) throw py::value_error("time must be 0 or more seconds");
        std::vector<exchange::Diagnostic> diagnostics;
        read = model::read_inp_model(text, file, time, m, diagnostics);
        for (const exchange::Diagnostic& d : diagnostics)
            messages.push_back(
                {std::string(messages::severity_name(d.severity)),
                 std::string(messages::entry(exchange::message_of(d)).code),
                 d.line > 0 ? "line " + std::to_string(d.line) + ": " + d.text : d.text});
    } else if (kind == "lamnet" || kind == "turbnet") {
        std::string error;
        read = model::read_model(text, kind == "lamnet" ? Program::lamnet : Program::turbnet, file,
                                 m, error);
        if (!read) messages.push_back(table_message(messages::Id::records_unreadable, {error}));
    } else {
        throw py::value_error("kind must be 'inp', 'lamnet' or 'turbnet', not '" + kind + "'");
    }
    if (read && m.nodes.empty()) {
        read = false;
        messages.push_back(table_message(messages::Id::empty_network, {}));
    }
    if (!read) raise("ReadError", py::str(file), message_list(messages));
    return Network(std::move(m), std::move(messages));
}

// Per-node and per-link values as arrays, in the order of node_ids and link_ids.
template <typename Get>
py::array_t<double> node_values(const Network& net, Get get) {
    std::vector<double> values;
    for (const model::Node& n : net.model().nodes) values.push_back(get(n));
    return to_array(values);
}
template <typename Get>
py::array_t<double> link_values(const Network& net, Get get) {
    std::vector<double> values;
    for (const model::Link& l : net.model().links) values.push_back(get(l));
    return to_array(values);
}

std::vector<double> checked_values(py::array_t<double, py::array::c_style | py::array::forcecast> a,
                                   std::size_t count, const char* what) {
    if (a.ndim() != 1 || static_cast<std::size_t>(a.shape(0)) != count)
        throw py::value_error(std::string(what) + ": expected " + std::to_string(count) +
                              " values in one dimension");
    return {a.data(), a.data() + count};
}

// The state a pickle carries: every value of the model (not the places they were read from) and
// the settings.
py::tuple state_of(const Network& net, analysis::Settings settings) {
    const model::Model& m = net.model();
    py::list nodes, links;
    for (const model::Node& n : m.nodes)
        nodes.append(py::make_tuple(n.id, n.x.value, n.y.value, n.elevation.value, n.demand.value,
                                    n.fixed_head ? py::object(py::float_(n.fixed_head->value))
                                                 : py::object(py::none())));
    for (const model::Link& l : m.links)
        links.append(py::make_tuple(l.id, l.start, l.end, l.length.value, l.diameter.value,
                                    l.roughness.value, l.minor_loss.value,
                                    l.status == model::LinkStatus::open, l.check_valve,
                                    static_cast<int>(l.kind)));
    py::list pumps;
    for (const model::Pump& p : m.pumps) {
        py::list curve;
        for (const model::CurvePoint& point : p.curve)
            curve.append(py::make_tuple(point.flow, point.head));
        pumps.append(py::make_tuple(p.link, curve, p.curve_id, p.power, p.speed));
    }
    py::list valves;
    for (const model::Valve& v : m.valves) {
        py::list curve;
        for (const auto& [q, h] : v.curve) curve.append(py::make_tuple(q, h));
        valves.append(
            py::make_tuple(v.link, static_cast<int>(v.type), v.setting, v.fixed_open, curve));
    }
    return py::make_tuple(
        1, m.file, static_cast<int>(m.law),
        py::make_tuple(m.units.length, m.units.discharge, m.units.file), m.rho_g_over_mu.value,
        m.elevations, m.tanks, m.time, nodes, links,
        py::make_tuple(settings.flow_tolerance, settings.head_tolerance, settings.max_passes),
        m.viscosity, pumps, valves);
}

Network network_of_state(const py::tuple& s) {
    // States pickled before the Darcy-Weisbach law came have no viscosity: 11 entries; before
    // pumps and valves came, none of them: 12.
    if (s.size() < 11 || s.size() > 14 || s[0].cast<int>() != 1)
        throw py::value_error("not a pipenet network state");
    model::Model m;
    m.file = s[1].cast<std::string>();
    const int law = s[2].cast<int>();
    if (law < 0 || law > static_cast<int>(model::HeadLossLaw::chezy_manning))
        throw py::value_error("unknown head-loss law in a network state");
    m.law = static_cast<model::HeadLossLaw>(law);
    const auto units = s[3].cast<py::tuple>();
    m.units = {units[0].cast<std::string>(), units[1].cast<std::string>(),
               units[2].cast<std::string>()};
    m.rho_g_over_mu.value = s[4].cast<double>();
    m.elevations = s[5].cast<bool>();
    m.tanks = s[6].cast<std::int32_t>();
    m.time = s[7].cast<std::int64_t>();
    for (const py::handle item : s[8].cast<py::list>()) {
        const auto t = item.cast<py::tuple>();
        model::Node n;
        n.id = t[0].cast<std::string>();
        n.x.value = t[1].cast<double>();
        n.y.value = t[2].cast<double>();
        n.elevation.value = t[3].cast<double>();
        n.demand.value = t[4].cast<double>();
        if (!t[5].is_none()) n.fixed_head = model::Read{t[5].cast<double>(), {}};
        m.nodes.push_back(std::move(n));
    }
    const auto count = static_cast<std::int32_t>(m.nodes.size());
    for (const py::handle item : s[9].cast<py::list>()) {
        const auto t = item.cast<py::tuple>();
        model::Link l;
        l.id = t[0].cast<std::string>();
        l.start = t[1].cast<std::int32_t>();
        l.end = t[2].cast<std::int32_t>();
        if (l.start < 0 || l.start >= count || l.end < 0 || l.end >= count)
            throw py::value_error("a link of a network state joins no node");
        l.length.value = t[3].cast<double>();
        l.diameter.value = t[4].cast<double>();
        l.roughness.value = t[5].cast<double>();
        l.minor_loss.value = t[6].cast<double>();
        l.status = t[7].cast<bool>() ? model::LinkStatus::open : model::LinkStatus::closed;
        // Links of states pickled before check valves came have 8 entries.
        if (t.size() > 8) l.check_valve = t[8].cast<bool>();
        if (t.size() > 9) {
            const int kind = t[9].cast<int>();
            if (kind < 0 || kind > static_cast<int>(model::LinkKind::valve))
                throw py::value_error("unknown link kind in a network state");
            l.kind = static_cast<model::LinkKind>(kind);
        }
        m.links.push_back(std::move(l));
    }
    if (s.size() >= 12) m.viscosity = s[11].cast<double>();
    if (s.size() >= 13)
        for (const py::handle item : s[12].cast<py::list>()) {
            const auto t = item.cast<py::tuple>();
            model::Pump p;
            p.link = t[0].cast<std::int32_t>();
            if (p.link < 0 || p.link >= static_cast<std::int32_t>(m.links.size()) ||
                m.links[static_cast<std::size_t>(p.link)].kind != model::LinkKind::pump)
                throw py::value_error("a pump of a network state is no pump link");
            for (const py::handle point : t[1].cast<py::list>()) {
                const auto q = point.cast<py::tuple>();
                p.curve.push_back({q[0].cast<double>(), q[1].cast<double>()});
            }
            p.curve_id = t[2].cast<std::string>();
            p.power = t[3].cast<double>();
            p.speed = t[4].cast<double>();
            m.pumps.push_back(std::move(p));
        }
    if (s.size() >= 14)
        for (const py::handle item : s[13].cast<py::list>()) {
            const auto t = item.cast<py::tuple>();
            model::Valve v;
            v.link = t[0].cast<std::int32_t>();
            const int type = t[1].cast<int>();
            if (v.link < 0 || static_cast<std::size_t>(v.link) >= m.links.size() ||
                m.links[static_cast<std::size_t>(v.link)].kind != model::LinkKind::valve ||
                type < 0 || type > static_cast<int>(model::ValveType::gpv))
                throw py::value_error("a valve of a network state is no valve link");
            v.type = static_cast<model::ValveType>(type);
            v.setting = t[2].cast<double>();
            v.fixed_open = t[3].cast<bool>();
            for (const py::handle point : t[4].cast<py::list>()) {
                const auto pair = point.cast<py::tuple>();
                v.curve.emplace_back(pair[0].cast<double>(), pair[1].cast<double>());
            }
            m.valves.push_back(std::move(v));
        }
    Network net(std::move(m), {});
    const auto settings = s[10].cast<py::tuple>();
    net.settings() = {settings[0].cast<double>(), settings[1].cast<double>(),
                      settings[2].cast<std::int32_t>()};
    return net;
}

} // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "pipenet's network model and its double-precision analysis (compiled part).";
    m.attr("__version__") = PIPENET_VERSION;

    py::class_<Message>(m, "Message",
                        "A finding: severity (note, warning, error), a stable code "
                        "and a text.")
        .def_readonly("severity", &Message::severity)
        .def_readonly("code", &Message::code)
        .def_readonly("text", &Message::text)
        .def("__repr__",
             [](const Message& msg) {
                 return "<Message " + msg.severity + " [" + msg.code + "] " + msg.text + ">";
             })
        .def("__str__", [](const Message& msg) {
            return msg.severity + ": " + msg.text + " [" + msg.code + "]";
        });

    py::class_<Result>(m, "Result",
                       "The results of a solved network, as numpy arrays indexed "
                       "like node_ids and link_ids.")
        .def_readonly("outcome", &Result::outcome, "'solved'.")
        .def_readonly("node_ids", &Result::node_ids)
        .def_readonly("link_ids", &Result::link_ids)
        .def_property_readonly(
            "heads", [](const Result& r) { return to_array(r.heads); },
            "Head at each node (length unit); NaN at a node joined to no known head.")
        .def_property_readonly(
            "pressures", [](const Result& r) { return to_array(r.pressures); },
            "Head minus elevation (length of water); NaN where the file gives no elevations.")
        .def_property_readonly(
            "nodal_discharges", [](const Result& r) { return to_array(r.nodal_discharges); },
            "Net discharge at each node: what its links carry away; at a known head, what the "
            "source supplies.")
        .def_property_readonly(
            "balance_errors", [](const Result& r) { return to_array(r.balance_errors); },
            "Computed minus given discharge at each free node; NaN at a known head.")
        .def_property_readonly(
            "flows", [](const Result& r) { return to_array(r.flows); },
            "Discharge of each link from its start node to its end node.")
        .def_property_readonly(
            "velocities", [](const Result& r) { return to_array(r.velocities); },
            "Flow over the cross-section of each link.")
        .def_property_readonly(
            "passes",
            [](const Result& r) {
                py::list passes;
                for (const analysis::Pass& p : r.passes)
                    passes.append(py::dict(
                        py::arg("pass") = p.pass, py::arg("max_imbalance") = p.max_imbalance,
                        py::arg("max_head_change") = p.max_head_change, py::arg("step") = p.step));
                return passes;
            },
            "One dict per Newton pass: pass, max_imbalance, max_head_change, step.")
        .def_property_readonly(
            "warnings", [](const Result& r) { return message_list(r.messages); },
            "The findings of the analysis and its plausibility checks, as Message objects.")
        .def_readonly("max_imbalance", &Result::max_imbalance,
                      "The final check's largest imbalance over the free nodes.")
        .def("__repr__", [](const Result& r) {
            return "<pipenet.Result " + r.outcome + ": " + std::to_string(r.heads.size()) +
                   " nodes, " + std::to_string(r.flows.size()) + " links, " +
                   std::to_string(r.passes.size()) + " passes>";
        });

    py::class_<Network>(m, "Network",
                        "A pipe network: nodes and links by ID, values settable by ID or as "
                        "arrays, analysed by solve(). Copy and pickle it freely.")
        .def_property_readonly("file", [](const Network& n) { return n.model().file; })
        .def_property_readonly(
            "kind",
            [](const Network& n) {
                switch (n.model().law) {
                case model::HeadLossLaw::laminar:
                    return "lamnet";
                case model::HeadLossLaw::hazen_williams_programs:
                    return "turbnet";
                case model::HeadLossLaw::hazen_williams_inp:
                case model::HeadLossLaw::darcy_weisbach:
                case model::HeadLossLaw::chezy_manning:
                    break;
                }
                return "inp";
            },
            "'inp', 'lamnet' or 'turbnet': the law and the file it was read from.")
        .def_property_readonly("units",
                               [](const Network& n) {
                                   return py::make_tuple(n.model().units.length,
                                                         n.model().units.discharge);
                               })
        .def_property_readonly("node_ids", &Network::node_ids, "Node IDs, in array order.")
        .def_property_readonly("link_ids", &Network::link_ids, "Link IDs, in array order.")
        .def_property_readonly(
            "read_messages", [](const Network& n) { return message_list(n.read_messages()); },
            "Warnings and notes of the reader.")
        .def("node_index", &Network::node, py::arg("id"), "The array position of a node ID.")
        .def("link_index", &Network::link, py::arg("id"), "The array position of a link ID.")
        // By ID.
        .def(
            "set_diameter",
            [](Network& n, const std::string& id, double value) {
                require_positive(value, "a diameter");
                const std::size_t e = n.link(id);
                n.change([&](model::Model& m) { m.links[e].diameter.value = value; });
            },
            py::arg("link"), py::arg("value"))
        .def(
            "set_roughness",
            [](Network& n, const std::string& id, double value) {
                require_positive(value, "a roughness coefficient");
                const std::size_t e = n.link(id);
                n.change([&](model::Model& m) { m.links[e].roughness.value = value; });
            },
            py::arg("link"), py::arg("value"), "The Hazen-Williams coefficient of a link.")
        .def(
            "set_demand",
            [](Network& n, const std::string& id, double value) {
                require_finite(value, "a demand");
                const std::size_t i = n.node(id);
                n.change([&](model::Model& m) { m.nodes[i].demand.value = -value; });
            },
            py::arg("node"), py::arg("value"),
            "The discharge drawn off at a node (negative: supplied).")
        .def(
            "set_elevation",
            [](Network& n, const std::string& id, double value) {
                require_finite(value, "an elevation");
                const std::size_t i = n.node(id);
                n.change([&](model::Model& m) {
                    m.nodes[i].elevation.value = value;
                    m.elevations = true;
                });
            },
            py::arg("node"), py::arg("value"))
        .def(
            "set_known_head",
            [](Network& n, const std::string& id, std::optional<double> value) {
                if (value) require_finite(*value, "a known head");
                const std::size_t i = n.node(id);
                n.change([&](model::Model& m) {
                    if (value)
                        m.nodes[i].fixed_head = model::Read{*value, {}};
                    else
                        m.nodes[i].fixed_head.reset();
                });
            },
            py::arg("node"), py::arg("value"),
            "Hold a node at a head (a reservoir), or release it with None.")
        // As arrays.
        .def_property(
            "diameters",
            [](const Network& n) {
                return link_values(n, [](const model::Link& l) { return l.diameter.value; });
            },
            [](Network& n, py::array_t<double, py::array::c_style | py::array::forcecast> a) {
                const auto v = checked_values(a, n.model().links.size(), "diameters");
                // A pump's entry is unused: the array read back can be written again.
                for (std::size_t e = 0; e < v.size(); ++e)
                    if (n.model().links[e].kind != model::LinkKind::pump)
                        require_positive(v[e], "a diameter");
                n.change([&](model::Model& m) {
                    for (std::size_t e = 0; e < v.size(); ++e) m.links[e].diameter.value = v[e];
                });
            },
            "Diameter of each link (a copy; assign a whole array to change them).")
        .def_property(
            "roughness",
            [](const Network& n) {
                return link_values(n, [](const model::Link& l) { return l.roughness.value; });
            },
            [](Network& n, py::array_t<double, py::array::c_style | py::array::forcecast> a) {
                const auto v = checked_values(a, n.model().links.size(), "roughness");
                for (std::size_t e = 0; e < v.size(); ++e)
                    if (n.model().links[e].kind != model::LinkKind::pump)
                        require_positive(v[e], "a roughness coefficient");
                n.change([&](model::Model& m) {
                    for (std::size_t e = 0; e < v.size(); ++e) m.links[e].roughness.value = v[e];
                });
            },
            "Hazen-Williams coefficient of each link.")
        .def_property_readonly("lengths",
                               [](const Network& n) {
                                   return link_values(
                                       n, [](const model::Link& l) { return l.length.value; });
                               })
        .def_property(
            "demands",
            [](const Network& n) {
                return node_values(n, [](const model::Node& x) { return -x.demand.value; });
            },
            [](Network& n, py::array_t<double, py::array::c_style | py::array::forcecast> a) {
                const auto v = checked_values(a, n.model().nodes.size(), "demands");
                for (double d : v) require_finite(d, "a demand");
                n.change([&](model::Model& m) {
                    for (std::size_t i = 0; i < v.size(); ++i) m.nodes[i].demand.value = -v[i];
                });
            },
            "Discharge drawn off at each node (negative: supplied).")
        .def_property(
            "elevations",
            [](const Network& n) {
                return node_values(n, [](const model::Node& x) { return x.elevation.value; });
            },
            [](Network& n, py::array_t<double, py::array::c_style | py::array::forcecast> a) {
                const auto v = checked_values(a, n.model().nodes.size(), "elevations");
                for (double d : v) require_finite(d, "an elevation");
                n.change([&](model::Model& m) {
                    for (std::size_t i = 0; i < v.size(); ++i) m.nodes[i].elevation.value = v[i];
                    m.elevations = true;
                });
            })
        .def_property(
            "known_heads",
            [](const Network& n) {
                return node_values(n, [](const model::Node& x) {
                    return x.fixed_head ? x.fixed_head->value : not_a_number;
                });
            },
            [](Network& n, py::array_t<double, py::array::c_style | py::array::forcecast> a) {
                const auto v = checked_values(a, n.model().nodes.size(), "known_heads");
                for (double h : v)
                    if (std::isinf(h)) throw py::value_error("a known head must be finite");
                n.change([&](model::Model& m) {
                    for (std::size_t i = 0; i < v.size(); ++i) {
                        if (std::isnan(v[i]))
                            m.nodes[i].fixed_head.reset();
                        else
                            m.nodes[i].fixed_head = model::Read{v[i], {}};
                    }
                });
            },
            "Known head of each node; NaN where the head is to be found.")
        // When the passes stop.
        .def_property(
            "flow_tolerance", [](Network& n) { return n.settings().flow_tolerance; },
            [](Network& n, double v) {
                require_positive(v, "the flow tolerance");
                n.change([&](model::Model&) { n.settings().flow_tolerance = v; });
            },
            "Largest imbalance allowed at a free node (discharge unit).")
        .def_property(
            "head_tolerance", [](Network& n) { return n.settings().head_tolerance; },
            [](Network& n, double v) {
                require_positive(v, "the head tolerance");
                n.change([&](model::Model&) { n.settings().head_tolerance = v; });
            },
            "Largest head change of the last pass (length unit).")
        .def_property(
            "max_passes", [](Network& n) { return n.settings().max_passes; },
            [](Network& n, std::int32_t v) {
                if (v < 1) throw py::value_error("max_passes must be 1 or more");
                n.change([&](model::Model&) { n.settings().max_passes = v; });
            },
            "The iteration limit: Newton passes before the analysis gives up.")
        .def("solve", &Network::solve,
             "Analyse the network as it stands. Returns a Result; raises AnalysisError (with "
             "outcome and messages) when it is not solved. The GIL is released meanwhile.")
        .def("copy", [](const Network& n) { return Network(n); })
        .def("__copy__", [](const Network& n) { return Network(n); })
        .def("__deepcopy__", [](const Network& n, py::dict) { return Network(n); })
        .def(py::pickle([](Network& n) { return state_of(n, n.settings()); },
                        [](const py::tuple& s) { return network_of_state(s); }))
        .def("__repr__", [](const Network& n) {
            return "<pipenet.Network " + n.model().file + ": " +
                   std::to_string(n.model().nodes.size()) + " nodes, " +
                   std::to_string(n.model().links.size()) + " links>";
        });

    m.def("parse", &parse, py::arg("text"), py::arg("kind"), py::arg("time") = 0,
          py::arg("file") = "<text>");
    m.def("looks_like_inp", [](const std::string& text) { return model::looks_like_inp(text); });
}
