#include "analysis/analyse.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <ctime>
#include <numbers>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "analysis/element_laws.hpp"
#include "analysis/final_check.hpp"
#include "analysis/sparse_cholesky.hpp"
#include "analysis/valve_laws.hpp"

namespace pipenet::analysis {

namespace {

using Matrix = SparseCholesky::Matrix;

// Adds the processor time of the calling thread during its life to a total, when given one: a
// measure that other work on a shared machine does not inflate, but a system call per reading, so
// taken only when asked for.
class Stopwatch {
public:
    explicit Stopwatch(double* total) : total_(total), start_(total ? now() : 0.0) {}
    ~Stopwatch() {
        if (total_ != nullptr) *total_ += now() - start_;
    }
    Stopwatch(const Stopwatch&) = delete;
    Stopwatch& operator=(const Stopwatch&) = delete;

private:
    static double now() {
        timespec time{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
        return static_cast<double>(time.tv_sec) + 1.0e-9 * static_cast<double>(time.tv_nsec);
    }
    double* total_;
    double start_;
};

// A value the user typed is echoed in full; a computed one is given to `digits` significant
// digits, since its last ones say nothing.
std::string number_text(double value, int digits = 0) {
    std::array<char, 32> text{};
    char* const first = text.data();
    char* const last = first + text.size();
    auto end = digits > 0
                   ? std::to_chars(first, last, value, std::chars_format::general, digits).ptr
                   : std::to_chars(first, last, value).ptr;
    return {first, end};
}

// What the topology is made of: a change in any of these needs a new pattern.
std::vector<std::int64_t> signature_of(const model::Model& model) {
    std::vector<std::int64_t> signature;
    signature.reserve(model.nodes.size() + 3 * model.links.size() + 1);
    signature.push_back(static_cast<std::int64_t>(model.nodes.size()));
    for (const model::Node& node : model.nodes) signature.push_back(node.fixed_head ? 1 : 0);
    for (const model::Link& link : model.links) {
        signature.push_back(link.start);
        signature.push_back(link.end);
        signature.push_back(link.status == model::LinkStatus::open ? 1 : 0);
    }
    return signature;
}

// Whether `model` has the topology `signature` was taken from, without building its signature.
bool same_signature(const model::Model& model, const std::vector<std::int64_t>& signature) {
    const std::size_t n = model.nodes.size();
    if (signature.size() != n + 3 * model.links.size() + 1 ||
        signature[0] != static_cast<std::int64_t>(n))
        return false;
    const std::int64_t* at = signature.data() + 1;
    for (const model::Node& node : model.nodes)
        if (*at++ != (node.fixed_head ? 1 : 0)) return false;
    for (const model::Link& link : model.links) {
        if (at[0] != link.start || at[1] != link.end ||
            at[2] != (link.status == model::LinkStatus::open ? 1 : 0))
            return false;
        at += 3;
    }
    return true;
}

// The neighbours of node i through the links `open(e)` lets through are
// neighbour[first[i] .. first[i + 1]): one allocation rather than one per node.
struct Adjacency {
    std::vector<std::int32_t> first, neighbour;
};

template <typename IsOpen>
Adjacency adjacency_of(const model::Model& model, IsOpen open) {
    const std::size_t n = model.nodes.size();
    Adjacency graph;
    std::vector<std::int32_t>& first = graph.first;
    first.assign(n + 1, 0);
    for (std::size_t e = 0; e < model.links.size(); ++e) {
        const model::Link& link = model.links[e];
        if (!open(e) || link.start == link.end) continue;
        ++first[static_cast<std::size_t>(link.start) + 1];
        ++first[static_cast<std::size_t>(link.end) + 1];
    }
    for (std::size_t i = 0; i < n; ++i) first[i + 1] += first[i];
    graph.neighbour.resize(static_cast<std::size_t>(first[n]));
    std::vector<std::int32_t> next(first.begin(), first.end() - 1);
    for (std::size_t e = 0; e < model.links.size(); ++e) {
        const model::Link& link = model.links[e];
        if (!open(e) || link.start == link.end) continue;
        graph.neighbour[static_cast<std::size_t>(next[static_cast<std::size_t>(link.start)]++)] =
            link.end;
        graph.neighbour[static_cast<std::size_t>(next[static_cast<std::size_t>(link.end)]++)] =
            link.start;
    }
    return graph;
}

// Nodes joined to a known head through the links of `graph`: a breadth-first search.
std::vector<bool> reached_from_known_heads(const model::Model& model, const Adjacency& graph) {
    const std::size_t n = model.nodes.size();
    const std::vector<std::int32_t>& first = graph.first;
    std::vector<bool> reached(n, false);
    std::vector<std::int32_t> queue;
    for (std::size_t i = 0; i < n; ++i)
        if (model.nodes[i].fixed_head) {
            reached[i] = true;
            queue.push_back(static_cast<std::int32_t>(i));
        }
    for (std::size_t q = 0; q < queue.size(); ++q)
        for (std::int32_t k = first[static_cast<std::size_t>(queue[q])];
             k < first[static_cast<std::size_t>(queue[q]) + 1]; ++k)
            if (const std::int32_t next = graph.neighbour[static_cast<std::size_t>(k)];
                !reached[static_cast<std::size_t>(next)]) {
                reached[static_cast<std::size_t>(next)] = true;
                queue.push_back(next);
            }
    return reached;
}

// The nodes marked in `take`, in the order a breadth-first search of `graph` from one node at a
// time meets them: nodes joined by a link end up close in it, whatever their numbers in the
// file, so that the loops over links and rows of a large network find their neighbours' values
// in the cache (the links of a file usually follow its layout; its node numbers may not).
std::vector<std::int32_t> search_order(const Adjacency& graph, const std::vector<bool>& take) {
    const std::size_t n = take.size();
    std::vector<std::int32_t> order;
    std::vector<std::uint8_t> seen(n, 0);
    std::vector<std::int32_t> queue;
    queue.reserve(n);
    for (std::size_t s = 0; s < n; ++s) {
        if (!take[s] || seen[s] != 0) continue;
        seen[s] = 1;
        queue.push_back(static_cast<std::int32_t>(s));
        // The queue of this search starts where the last one's ended.
        for (std::size_t q = queue.size() - 1; q < queue.size(); ++q) {
            const auto i = static_cast<std::size_t>(queue[q]);
            if (take[i]) order.push_back(static_cast<std::int32_t>(i));
            for (std::int32_t k = graph.first[i]; k < graph.first[i + 1]; ++k)
                if (const auto next =
                        static_cast<std::size_t>(graph.neighbour[static_cast<std::size_t>(k)]);
                    seen[next] == 0) {
                    seen[next] = 1;
                    queue.push_back(static_cast<std::int32_t>(next));
                }
        }
    }
    return order;
}

// (1 + x)^p by its series in x to the third or the fourth order, for a small x; the
// coefficients are kept for the last p asked for (one law's exponent serves most links).
class PowerSeries {
public:
    double third_order(double p, double x) {
        fit(p);
        return 1.0 + x * (p + x * (c2_ + x * c3_));
    }
    double fourth_order(double p, double x) {
        fit(p);
        return 1.0 + x * (p + x * (c2_ + x * (c3_ + x * c4_)));
    }

private:
    void fit(double p) {
        if (p == p_) return;
        p_ = p;
        c2_ = p * (p - 1.0) / 2.0;
        c3_ = c2_ * (p - 2.0) / 3.0;
        c4_ = c3_ * (p - 3.0) / 4.0;
    }
    double p_ = std::nan(""), c2_ = 0.0, c3_ = 0.0, c4_ = 0.0;
};

// How each link is evaluated: carrying nothing (closed, or an end cut off), as a valve, as a
// pure power law between two nodes (with exponent 1 or another), or through link_flow.
enum class Kind : std::uint8_t { idle, valve, linear, power, other };

// Per link, what a pass reads of it in one place: its nodes, their rows (or the spare entry past
// the rows, see Passes::residual_), its matrix
// entries (or -1) and, for a pure power law, its constants and those of its tangent about a
// discharge q: slope = min(cap, ek * (|q| / k)^about_power), flow = (1 - exponent) q + slope dh
// (80 bytes: the loops over links read little else).
struct Term {
    Kind kind = Kind::idle;
    std::int32_t a = 0, b = 0, ra = -1, rb = -1, sa = -1, sb = -1, so = -1;
    std::int32_t xa = 0, xb = 0; // the slots of a and b in the heads the passes gather
    double k = 0.0, exponent = 1.0, cap = 0.0, ek = 0.0, about_power = 0.0;
};
static_assert(sizeof(Term) <= 80);

// What the passes work in, kept with the topology so that a run allocates nothing once the
// first has sized it, and a link's term is worked out again only when its law or its valve
// changed.
struct PassBuffers {
    std::vector<Term> terms;
    bool terms_ready = false;              // every term stands for the laws of the last run
    std::vector<std::int32_t> valve_of;    // per link: its valve, or -1
    std::vector<std::int32_t> valve_links; // the links valve_of marks
    std::vector<double> residual;          // per row
    std::vector<double> law_residual;      // per row, see Passes::evaluate_law_and_tangents
    std::int32_t other_terms = 0;          // terms neither idle nor a pure power law's
    std::vector<double> minus_demand;      // per row: the negated given discharge of its node
    std::vector<double> flows, slopes, intercepts, about, tangent; // per link
    // Per link, in a re-solve: the last head difference (magnitude) whose law was worked out by a
    // power in this run, and that discharge (see Passes::evaluate).
    std::vector<double> anchor_dh, anchor_flow;
    std::vector<std::uint8_t> by_series; // per link: whether its law's discharge came from one
    std::vector<double> heads, trial;    // per node
    std::vector<double> gathered;        // per slot, when the slots are not the nodes
    Eigen::VectorXd step;                // per row
};

} // namespace

struct Solver::Topology {
    std::vector<std::int64_t> signature;
    std::vector<bool> reached;          // a known head, or joined to one by open links
    std::vector<std::int32_t> equation; // per node: its row, or -1
    std::vector<std::int32_t> node_of;  // per row: its node
    std::vector<std::int32_t> known;    // the nodes with a known head
    std::vector<bool> free;             // per node: whether it has a row
    // Per node its slot, and per slot its node, where the passes gather the heads of a large
    // network by slot (see Passes::evaluate); empty otherwise, the slots being the nodes.
    std::vector<std::int32_t> slot, slot_node;
    // reached and free a byte per node, for the loops over every node and link of each run.
    std::vector<std::uint8_t> reached_byte, free_byte;
    std::size_t left_out = 0;           // nodes not reached
    std::vector<std::int32_t> diagonal; // per row: position of its diagonal entry in the values
    // Per link: positions of the entries it adds to, or -1 where an end has no row.
    std::vector<std::int32_t> start_entry, end_entry, off_entry;
    Matrix matrix;
    SparseCholesky cholesky;
    PassBuffers buffers;
    std::vector<double> last_heads;
    // The discharges of the laws at last_heads, kept at the end of a run: a re-solve that starts
    // from those heads takes them for every link whose law was not worked out again.
    std::vector<double> last_flows;
    std::vector<double> last_slopes; // the laws' slopes there, likewise
    // Per link: whether those came from a series rather than the law itself (only the law's own
    // are taken again, so that a re-solve takes the same path whatever runs came before).
    std::vector<std::uint8_t> last_by_series;

    Topology(const model::Model& model, std::vector<std::int64_t> sig, std::int64_t large_from,
             std::int64_t nested_dissection_from)
        : signature(std::move(sig)), cholesky(large_from, nested_dissection_from) {
        const std::size_t n = model.nodes.size();
        const Adjacency graph = adjacency_of(
            model, [&](std::size_t e) { return model.links[e].status == model::LinkStatus::open; });
        reached = reached_from_known_heads(model, graph);

        equation.assign(n, -1);
        free.assign(n, false);
        std::size_t rows_count = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (!reached[i]) ++left_out;
            if (reached[i] && !model.nodes[i].fixed_head) {
                free[i] = true;
                ++rows_count;
            }
        }
        // Rows in the nodes' order, but for a network as large as those whose results may move
        // in their last bits (the numeric factorization of SparseCholesky's own) in the order a
        // search of its links meets them: on a file whose node numbers are shuffled that makes
        // the ordering and the passes' loops over links far faster.
        if (static_cast<std::int64_t>(rows_count) >= nested_dissection_from) {
            node_of = search_order(graph, free);
            // The passes read the heads of such a network by slot: its rows, then its known
            // heads.
            slot_node = node_of;
            for (std::size_t i = 0; i < n; ++i)
                if (reached[i] && model.nodes[i].fixed_head)
                    slot_node.push_back(static_cast<std::int32_t>(i));
            slot.assign(n, -1);
            for (std::size_t s = 0; s < slot_node.size(); ++s)
                slot[static_cast<std::size_t>(slot_node[s])] = static_cast<std::int32_t>(s);
        } else {
            node_of.reserve(rows_count);
            for (std::size_t i = 0; i < n; ++i)
                if (free[i]) node_of.push_back(static_cast<std::int32_t>(i));
        }
        for (std::size_t r = 0; r < node_of.size(); ++r)
            equation[static_cast<std::size_t>(node_of[r])] = static_cast<std::int32_t>(r);
        for (std::size_t i = 0; i < n; ++i)
            if (model.nodes[i].fixed_head) known.push_back(static_cast<std::int32_t>(i));
        reached_byte.assign(reached.begin(), reached.end());
        free_byte.assign(free.begin(), free.end());
        const auto rows = static_cast<int>(node_of.size());
        std::vector<Eigen::Triplet<double, int>> entries;
        entries.reserve(node_of.size() + model.links.size());
        for (int r = 0; r < rows; ++r) entries.emplace_back(r, r, 1.0);
        for (const model::Link& link : model.links) {
            const std::int32_t a = equation[static_cast<std::size_t>(link.start)];
            const std::int32_t b = equation[static_cast<std::size_t>(link.end)];
            if (link.status == model::LinkStatus::open && a >= 0 && b >= 0 && a != b)
                entries.emplace_back(std::max(a, b), std::min(a, b), 0.0);
        }
        matrix.resize(rows, rows);
        matrix.setFromTriplets(entries.begin(), entries.end());
        matrix.makeCompressed();

        auto position = [&](int row, int column) {
            const int* inner = matrix.innerIndexPtr();
            const int* first = inner + matrix.outerIndexPtr()[column];
            const int* last = inner + matrix.outerIndexPtr()[column + 1];
            return static_cast<std::int32_t>(std::lower_bound(first, last, row) - inner);
        };
        diagonal.resize(node_of.size());
        for (int r = 0; r < rows; ++r) diagonal[static_cast<std::size_t>(r)] = position(r, r);
        const std::size_t links = model.links.size();
        start_entry.assign(links, -1);
        end_entry.assign(links, -1);
        off_entry.assign(links, -1);
        for (std::size_t e = 0; e < links; ++e) {
            const model::Link& link = model.links[e];
            if (link.status != model::LinkStatus::open || link.start == link.end) continue;
            const std::int32_t a = equation[static_cast<std::size_t>(link.start)];
            const std::int32_t b = equation[static_cast<std::size_t>(link.end)];
            if (a >= 0) start_entry[e] = diagonal[static_cast<std::size_t>(a)];
            if (b >= 0) end_entry[e] = diagonal[static_cast<std::size_t>(b)];
            if (a >= 0 && b >= 0) off_entry[e] = position(std::max(a, b), std::min(a, b));
        }
    }
};

// A re-solve after a change of a few links' values works out only their laws again.
struct Solver::Laws {
    using Values = std::array<double, 5>; // length, diameter, roughness, minor loss, check valve
    model::HeadLossLaw law = model::HeadLossLaw::laminar;
    double rho_g_over_mu = 0.0;
    double viscosity = 0.0;
    std::vector<Values> values;
    std::vector<LinkLaw> laws;

    // Per link, its index in Model::pumps, or -1.
    std::vector<std::int32_t> pump_of;

    // The final check's own coefficients, kept likewise.
    CheckCoefficients check;

    // The last power each link's law took, in the passes or the final check (none for a large
    // network: 24 bytes a link).
    PowerMemo powers;

    // Per link: whether its law was worked out again since the topology kept the flows of the
    // last run (Topology::last_flows).
    std::vector<std::uint8_t> recomputed; // a byte each: read in every loop over links

    // Per link: whether its values were found sound for its law when it was last worked out.
    std::vector<std::uint8_t> sound;

    // Per link, the start solve's conductance (see Passes::start_conductances), and whether it
    // was worked out from the law held now.
    std::vector<double> start;
    std::vector<std::uint8_t> start_ready;

    // Whether pipe e has the values its law was last worked out and found sound from: nothing of
    // it needs checking again.
    bool sound_as_before(const model::Model& model, std::size_t e) const {
        const model::Link& link = model.links[e];
        if (sound[e] == 0 || pump_of[e] >= 0 || link.kind != model::LinkKind::pipe) return false;
        const Values now{link.length.value, link.diameter.value, link.roughness.value,
                         link.minor_loss.value, link.check_valve ? 1.0 : 0.0};
        return now == values[e];
    }

    const LinkLaw& of(const model::Model& model, std::size_t e) {
        const model::Link& link = model.links[e];
        if (pump_of[e] >= 0) {
            // A pump's law is cheap to work out, and its values are not those of a pipe.
            const model::Pump& pump = model.pumps[static_cast<std::size_t>(pump_of[e])];
            values[e].fill(std::nan(""));
            laws[e] = pump_link_law(pump_curve(pump), pump.speed);
            recomputed[e] = 1;
            start_ready[e] = 0;
            return laws[e];
        }
        const Values now{link.length.value, link.diameter.value, link.roughness.value,
                         link.minor_loss.value, link.check_valve ? 1.0 : 0.0};
        if (now != values[e]) {
            values[e] = now;
            laws[e] = link_law(model, link);
            recomputed[e] = 1;
            start_ready[e] = 0;
        }
        return laws[e];
    }

    void fit(const model::Model& model) {
        // NaN never equals itself, so a fresh entry is always worked out.
        Values none;
        none.fill(std::nan(""));
        if (law != model.law || !(rho_g_over_mu == model.rho_g_over_mu.value) ||
            !(viscosity == model.viscosity) || values.size() != model.links.size()) {
            law = model.law;
            rho_g_over_mu = model.rho_g_over_mu.value;
            viscosity = model.viscosity;
            values.assign(model.links.size(), none);
            laws.assign(model.links.size(), LinkLaw{});
            recomputed.assign(model.links.size(), 1);
            sound.assign(model.links.size(), 0);
            start.assign(model.links.size(), 0.0);
            start_ready.assign(model.links.size(), 0);
        }
        pump_of.assign(model.links.size(), -1);
        for (std::size_t p = 0; p < model.pumps.size(); ++p) {
            const auto link = static_cast<std::size_t>(model.pumps[p].link);
            if (link < pump_of.size()) pump_of[link] = static_cast<std::int32_t>(p);
        }
    }
};

Solver::Solver() = default;
Solver::~Solver() = default;

namespace {

// A power law's tangent about q is (1 - e) q + slope * dh, worked out without rounding the
// intercept; a check valve may be closed, and other laws have no such form.
bool pure_power(const LinkLaw& law) {
    return law.power() && !law.check_valve;
}

// The state of the passes on one model: the laws, the heads, and what each pass evaluates.
class Passes {
public:
    // `laws` holds every open pipe's and pump's law (a closed link's entry, and a valve's, is
    // never read), `recomputed` which of them were worked out again since the last run, `start`
    // and `start_ready` the start conductances kept with them; `valves` every valve's.
    Passes(const model::Model& model, Solver::Topology& topology, const std::vector<LinkLaw>& laws,
           const std::vector<std::uint8_t>& recomputed, std::vector<double>& start,
           std::vector<std::uint8_t>& start_ready, PowerMemo& powers, std::vector<ValveLaw> valves,
           Timings& timings, bool timed)
        : heads(topology.buffers.heads), trial(topology.buffers.trial),
          about(topology.buffers.about), model_(model), t_(topology), laws_(laws), start_(start),
          start_ready_(start_ready), powers_(powers), valves_(std::move(valves)),
          valve_of_(topology.buffers.valve_of), residual_(topology.buffers.residual),
          flows_(topology.buffers.flows), slopes_(topology.buffers.slopes),
          intercepts_(topology.buffers.intercepts), terms_(topology.buffers.terms),
          minus_demand_(topology.buffers.minus_demand), anchor_dh_(topology.buffers.anchor_dh),
          anchor_flow_(topology.buffers.anchor_flow), by_series_(topology.buffers.by_series),
          timings_(timings), timed_(timed) {
        PassBuffers& b = t_.buffers;
        const std::size_t links = model.links.size();
        const bool all = !b.terms_ready || terms_.size() != links;
        b.terms_ready = false;
        if (all) {
            valve_of_.assign(links, -1);
            b.valve_links.clear();
            terms_.assign(links, Term{});
            b.other_terms = 0;
        }
        // Sized only: every sweep writes each entry the passes read. One entry past the rows
        // takes the flows of the ends that have none, unread: the loops over links add to a row
        // without a test.
        residual_.resize(t_.node_of.size() + 1);
        flows_.resize(links);
        slopes_.resize(links);
        intercepts_.resize(links);
        by_series_.assign(links, 0);
        // The links that were valves in the last run, or are now, have their terms built again.
        std::vector<std::int32_t>& again = b.valve_links;
        for (const std::int32_t e : again) valve_of_[static_cast<std::size_t>(e)] = -1;
        const std::size_t before = again.size();
        for (std::size_t v = 0; v < model.valves.size(); ++v) {
            valve_of_[static_cast<std::size_t>(model.valves[v].link)] =
                static_cast<std::int32_t>(v);
            again.push_back(model.valves[v].link);
            valve_states.push_back(initial_state(valves_[v]));
        }
        for (std::size_t e = 0; e < links; ++e)
            if (all || recomputed[e]) set_term(e);
        for (const std::int32_t e : again) set_term(static_cast<std::size_t>(e));
        again.erase(again.begin(), again.begin() + static_cast<std::ptrdiff_t>(before));
        minus_demand_.resize(t_.node_of.size());
        for (std::size_t r = 0; r < t_.node_of.size(); ++r)
            minus_demand_[r] = -model_.nodes[static_cast<std::size_t>(t_.node_of[r])].demand.value;
        b.terms_ready = true;
    }

    std::vector<double>& heads;
    // The heads a step is tried at: every entry outside the rows always equal to heads'.
    std::vector<double>& trial;

    // The start solve's conductance of every link: the secant of its law through the discharge
    // at a typical velocity in a main, rather than the law's slope at a head difference of 1,
    // which for a power law is far off the small differences of a looped network. Kept with the
    // laws: worked out again only for a link whose law was.
    void start_conductances() {
        const double velocity = 0.3; // m/s: the turbulent laws' units
        for (std::size_t e = 0; e < model_.links.size(); ++e) {
            if (valve_of_[e] >= 0 || start_ready_[e] != 0) continue;
            start_ready_[e] = 1;
            const LinkLaw& law = laws_[e];
            start_[e] = law.k;
            if (model_.law == model::HeadLossLaw::laminar) continue;
            const double d = model_.links[e].diameter.value;
            const double q = velocity * 0.25 * std::numbers::pi * d * d;
            const double loss = head_loss(law, q).loss;
            if (loss > 0.0 && std::isfinite(q / loss)) start_[e] = q / loss;
        }
    }

    // Per valve of the model: the state the passes solve with.
    std::vector<ValveState> valve_states;

    // The discharges the passes linearize the laws about (see link_flow_about).
    std::vector<double>& about;

    // Evaluates the discharges and the residual (outflow minus the given discharge) at `h`; with
    // `assemble`, also the Newton matrix. Each law as itself, as Q = k * dh, or linearized about
    // the discharges `about`.
    enum class Form : std::uint8_t { law, linear, about };
    double evaluate(const std::vector<double>& h, bool assemble, Form form) {
        const Stopwatch watch(timed_ ? &timings_.evaluate : nullptr);
        // The form and the assembly known when compiled: the pass loop's tests drop out.
        if (form == Form::law && near_law_)
            return assemble ? evaluate<Form::law, true, false, true>(h)
                            : evaluate<Form::law, false, false, true>(h);
        if (form == Form::law)
            return assemble ? evaluate<Form::law, true>(h) : evaluate<Form::law, false>(h);
        if (form == Form::about && near_law_)
            return assemble ? evaluate<Form::about, true, false, true>(h)
                            : evaluate<Form::about, false, false, true>(h);
        if (form == Form::about)
            return assemble ? evaluate<Form::about, true>(h) : evaluate<Form::about, false>(h);
        return assemble ? evaluate<Form::linear, true>(h) : evaluate<Form::linear, false>(h);
    }

    // The laws at `h`, where each plain law that was not worked out again (`recomputed`) and
    // whose ends are at the heads `heads` the discharges `flows` and slopes `slopes` were worked
    // out at (by the law itself, not a series: `by_series` 0) carries that discharge and slope
    // again.
    // With `tangents_too` (plain() only), the first pass's tangents as well, as
    // evaluate_law_and_tangents works them out.
    double evaluate_keeping(const std::vector<double>& h, const std::vector<double>& heads,
                            const std::vector<double>& flows, const std::vector<double>& slopes,
                            const std::vector<std::uint8_t>& by_series,
                            const std::vector<std::uint8_t>& recomputed, bool tangents_too) {
        const Stopwatch watch(timed_ ? &timings_.evaluate : nullptr);
        kept_ = {&heads, &flows, &slopes, &by_series, &recomputed};
        const double sum =
            tangents_too ? (near_law_ ? evaluate<Form::law, false, true, true, false, true>(h)
                                      : evaluate<Form::law, false, true, false, false, true>(h))
            : near_law_  ? evaluate<Form::law, false, true, true>(h)
                         : evaluate<Form::law, false, true>(h);
        kept_ = {};
        return sum;
    }

    // Whether every term is a pure power law's or idle: the laws and the first pass's tangents
    // may then be worked out in one sweep.
    bool plain() const { return t_.buffers.other_terms == 0; }

    // evaluate(h, false, Form::law), and in the same sweep the first pass's tangents about the
    // discharges the laws give at h: `about` set to those discharges, then what
    // evaluate(h, true, Form::about) works out (plain() only). The sum returned, largest() and
    // worst() are the laws'; take_tangents_largest() gives the tangents'.
    double evaluate_law_and_tangents(const std::vector<double>& h) {
        const Stopwatch watch(timed_ ? &timings_.evaluate : nullptr);
        return near_law_ ? evaluate<Form::law, false, false, true, false, true>(h)
                         : evaluate<Form::law, false, false, false, false, true>(h);
    }

    // The laws at `h` as evaluate(h, false, Form::law) gives them, and in the same sweep each
    // link's discharge on its tangent of the last evaluation with `about` and `assemble` at `h`
    // (tangent_flow) into `tangents`.
    double evaluate_with_tangents(const std::vector<double>& h, std::vector<double>& tangents) {
        const Stopwatch watch(timed_ ? &timings_.evaluate : nullptr);
        tangents.resize(terms_.size());
        tangents_ = tangents.data();
        const double sum = near_law_ ? evaluate<Form::law, false, false, true, true>(h)
                                     : evaluate<Form::law, false, false, false, true>(h);
        tangents_ = nullptr;
        return sum;
    }

    // From a start near the solution (a re-solve), the tangents' slopes about discharges close
    // to the laws' at `h` are worked out from the laws' slopes there, and the laws at head
    // differences close to ones a power gave in this run from those, by series instead of a
    // power each.
    void take_series_near_known_values() {
        near_law_ = true;
        // NaN: every law's first evaluation in the run is a power's.
        anchor_dh_.assign(terms_.size(), std::nan(""));
        anchor_flow_.assign(terms_.size(), 0.0);
    }

    // With `about_too` (Form::law, every term a pure power law's or idle): in the same sweep, the
    // first pass's tangents about the discharges the laws give at `h`, as evaluate<Form::about,
    // true> works them out once `about` holds those discharges; the residual held is then the
    // tangents', and the sum returned the laws'.
    template <Form form, bool assemble, bool keeping = false, bool near_law = false,
              bool tangents = false, bool about_too = false>
    double evaluate(const std::vector<double>& h) {
        double* values = t_.matrix.valuePtr();
        if (assemble || about_too) std::fill(values, values + t_.matrix.nonZeros(), 0.0);
        std::copy(minus_demand_.begin(), minus_demand_.end(), residual_.begin());
        residual_.back() = 0.0;
        constexpr bool laws = form != Form::linear;
        // The laws' residual: a buffer of its own when the tangents' takes residual_.
        std::vector<double>& law_residual = about_too ? t_.buffers.law_residual : residual_;
        if constexpr (about_too) {
            law_residual = residual_;
            about.resize(terms_.size());
        }
        double* residual = law_residual.data();
        const double* x = by_slot(h);
        for (std::size_t e = 0; e < terms_.size(); ++e) {
            const Term& term = terms_[e];
            const Kind kind = term.kind;
            if (kind == Kind::idle) {
                flows_[e] = 0.0;
                if constexpr (tangents) tangents_[e] = 0.0;
                if constexpr (about_too) about[e] = 0.0;
                continue;
            }
            if constexpr (keeping) {
                const auto a = static_cast<std::size_t>(term.a);
                const auto b = static_cast<std::size_t>(term.b);
                if (kind != Kind::valve && !(*kept_.recomputed)[e] && (*kept_.by_series)[e] == 0 &&
                    same_bits(h[a], (*kept_.heads)[a]) && same_bits(h[b], (*kept_.heads)[b])) {
                    const double flow = (*kept_.flows)[e];
                    flows_[e] = flow;
                    slopes_[e] = (*kept_.slopes)[e];
                    // A power gave that discharge: the series of the run may start from it.
                    if (near_law && kind == Kind::power) {
                        const double magnitude = std::abs(h[a] - h[b]);
                        if (magnitude >= linear_below) {
                            anchor_dh_[e] = magnitude;
                            anchor_flow_[e] = std::abs(flow);
                        }
                    }
                    residual[term.ra] += flow;
                    residual[term.rb] -= flow;
                    if constexpr (about_too)
                        tangent_about_law<near_law>(e, term, flow, slopes_[e],
                                                    x[static_cast<std::size_t>(term.xa)] -
                                                        x[static_cast<std::size_t>(term.xb)],
                                                    values);
                    continue;
                }
            }
            const double dh =
                x[static_cast<std::size_t>(term.xa)] - x[static_cast<std::size_t>(term.xb)];
            // Read before this evaluation writes the law's slope and intercept over them.
            if constexpr (tangents) tangents_[e] = tangent_flow(e, term, h, dh);
            if (laws && kind != Kind::valve && kind != Kind::other) {
                // A pure power law between two distinct nodes, worked out here as link_flow and
                // link_flow_about do; the law's slope is not needed, nor its tangent's intercept
                // (tangent_flow reads (1 - e) q).
                double flow = 0.0;
                double slope = 0.0;
                if (kind == Kind::linear) {
                    flow = term.k * dh;
                    slope = term.k;
                } else if constexpr (form == Form::law) {
                    const double magnitude = std::abs(dh);
                    if (magnitude < linear_below) {
                        flow = term.cap * dh;
                        slope = term.cap;
                    } else {
                        // Near a head difference whose law a power gave in this run, the law
                        // is (1 + y)^exponent times that discharge, y the relative change of
                        // the difference, taken to the fourth order where |y| is within
                        // near_law_ratio: the fifth-order term is below 1e-10 of it.
                        double y = 0.0;
                        if constexpr (near_law) y = magnitude / anchor_dh_[e] - 1.0;
                        double f = 0.0;
                        if constexpr (near_law) by_series_[e] = 0;
                        if (near_law && std::abs(y) <= near_law_ratio) {
                            by_series_[e] = 1;
                            f = anchor_flow_[e] * law_series_.fourth_order(term.exponent, y);
                        } else {
                            f = term.k * powers_(e, magnitude, term.exponent);
                            if constexpr (near_law) {
                                anchor_dh_[e] = magnitude;
                                anchor_flow_[e] = f;
                            }
                        }
                        flow = std::copysign(f, dh);
                        slope = term.exponent * f / magnitude;
                    }
                } else {
                    // flows_ and slopes_ hold the law's discharge and slope at h.
                    const double q = about[e];
                    slope = tangent_slope<near_law>(term, q, flows_[e], slopes_[e]);
                    flow = (1.0 - term.exponent) * q + slope * dh;
                }
                flows_[e] = flow;
                slopes_[e] = slope;
                residual[term.ra] += flow;
                residual[term.rb] -= flow;
                if constexpr (about_too)
                    tangent_about_law<near_law>(e, term, flow, slope, dh, values);
                if (!assemble) continue;
                if (term.sa >= 0) values[term.sa] += slope;
                if (term.sb >= 0) values[term.sb] += slope;
                if (term.so >= 0) values[term.so] -= slope;
                continue;
            }
            const model::Link& link = model_.links[e];
            // The link's flows into its nodes' balances, its slopes into the matrix.
            auto add = [&](double out_of_start, double into_end, double at_start, double at_end,
                           double between) {
                const std::int32_t ra = t_.equation[static_cast<std::size_t>(link.start)];
                const std::int32_t rb = t_.equation[static_cast<std::size_t>(link.end)];
                if (ra >= 0) residual_[static_cast<std::size_t>(ra)] += out_of_start;
                if (rb >= 0) residual_[static_cast<std::size_t>(rb)] -= into_end;
                if (!assemble || link.start == link.end) return;
                if (t_.start_entry[e] >= 0) values[t_.start_entry[e]] += at_start;
                if (t_.end_entry[e] >= 0) values[t_.end_entry[e]] += at_end;
                if (t_.off_entry[e] >= 0) values[t_.off_entry[e]] -= between;
            };
            if (kind == Kind::valve) {
                const ValveTerm v = valve(e, h, form);
                flows_[e] = v.flow;
                add(v.out_of_start, v.into_end, v.at_start, v.at_end, v.between);
                continue;
            }
            const LawValue v =
                form == Form::linear
                    ? (laws_[e].pump ? link_flow_about(laws_[e], laws_[e].pump->design, dh)
                                     : LawValue{start_[e] * dh, start_[e]})
                : form == Form::law ? link_flow(laws_[e], dh)
                                    : link_flow_about(laws_[e], about[e], dh);
            flows_[e] = v.flow;
            slopes_[e] = v.slope;
            intercepts_[e] = v.flow - v.slope * dh;
            add(v.flow, v.flow, v.slope, v.slope, v.slope);
        }
        double sum = 0.0;
        largest_ = 0.0;
        worst_ = -1;
        tangents_largest_ = 0.0;
        tangents_worst_ = -1;
        for (std::size_t r = 0; r < t_.node_of.size(); ++r) {
            sum += law_residual[r] * law_residual[r];
            if (!(std::abs(law_residual[r]) <= largest_)) {
                largest_ = std::abs(law_residual[r]);
                worst_ = t_.node_of[r];
            }
            if constexpr (about_too) {
                if (!(std::abs(residual_[r]) <= tangents_largest_)) {
                    tangents_largest_ = std::abs(residual_[r]);
                    tangents_worst_ = t_.node_of[r];
                }
            }
        }
        return sum;
    }

    // Solves the assembled matrix for the Newton step; false when it is not positive definite.
    bool newton_step(Eigen::VectorXd& step) {
        if (!t_.cholesky.analysed()) {
            const Stopwatch watch(timed_ ? &timings_.ordering : nullptr);
            t_.cholesky.analyse(t_.matrix);
        }
        {
            const Stopwatch watch(timed_ ? &timings_.factorize : nullptr);
            ++timings_.factorizations;
            if (!t_.cholesky.factorize(t_.matrix)) return false;
        }
        return solve(step);
    }

    // The step of the last factorization on the residual held (a chord step); false when it is
    // not finite.
    bool solve(Eigen::VectorXd& step) {
        const Stopwatch watch(timed_ ? &timings_.solve : nullptr);
        const Eigen::Map<const Eigen::VectorXd> r(residual_.data(),
                                                  static_cast<Eigen::Index>(t_.node_of.size()));
        ++timings_.solves;
        if (!t_.cholesky.solve(r, step)) return false;
        // Negated, and checked in the same loop: v * 0 is a NaN for an infinite or NaN v, a zero
        // otherwise.
        double probe = 0.0;
        for (double& v : step) {
            v = -v;
            probe += v * 0.0;
        }
        return probe == 0.0;
    }

    double largest() const { return largest_; }
    // After a sweep with the first pass's tangents: the largest imbalance and worst node are
    // taken as the tangents', as evaluate(h, true, Form::about) would leave them.
    void take_tangents_largest() {
        largest_ = tangents_largest_;
        worst_ = tangents_worst_;
    }
    std::int32_t worst() const { return worst_; }
    const std::vector<double>& flows() const { return flows_; }
    const std::vector<double>& slopes() const { return slopes_; }
    // Per link: whether its law's discharge in the last sweep came from a series.
    const std::vector<std::uint8_t>& by_series() const { return by_series_; }
    const LinkLaw& law(std::size_t e) const { return laws_[e]; }
    std::int32_t valve_of(std::size_t e) const { return valve_of_[e]; }
    const ValveLaw& valve_law(std::size_t v) const { return valves_[v]; }
    std::int32_t changed_link = -1;

    // Moves every valve to the state its rules give at heads `h`; true when one changed, the
    // link of the last that did in `changed_link`.
    bool update_valve_states(const std::vector<double>& h) {
        bool changed = false;
        for (std::size_t v = 0; v < valves_.size(); ++v) {
            const model::Link& link = model_.links[static_cast<std::size_t>(model_.valves[v].link)];
            const auto a = static_cast<std::size_t>(link.start);
            const auto b = static_cast<std::size_t>(link.end);
            if (link.status != model::LinkStatus::open || !t_.reached[a] || !t_.reached[b])
                continue;
            const ValveState next =
                next_state(valves_[v], valve_states[v], h[a], h[b],
                           flows_[static_cast<std::size_t>(model_.valves[v].link)]);
            if (next != valve_states[v]) {
                changed = true;
                changed_link = model_.valves[v].link;
            }
            valve_states[v] = next;
        }
        return changed;
    }

private:
    // The first pass's tangent of pure power law term e about the law's own discharge `flow`, of
    // slope `slope`, at head difference dh, as evaluate<Form::about, true> works it out once
    // `about` holds that discharge and flows_ and slopes_ the law's values: into about, flows_,
    // slopes_, residual_ and `values`.
    template <bool near_law>
    void tangent_about_law(std::size_t e, const Term& term, double flow, double slope, double dh,
                           double* values) {
        about[e] = flow;
        double tangent = flow; // a linear law is its own tangent
        double along = slope;
        if (term.kind == Kind::power) {
            along = tangent_slope<near_law>(term, flow, flow, slope);
            tangent = (1.0 - term.exponent) * flow + along * dh;
        }
        flows_[e] = tangent;
        slopes_[e] = along;
        residual_[static_cast<std::size_t>(term.ra)] += tangent;
        residual_[static_cast<std::size_t>(term.rb)] -= tangent;
        if (term.sa >= 0) values[term.sa] += along;
        if (term.sb >= 0) values[term.sb] += along;
        if (term.so >= 0) values[term.so] -= along;
    }

    // The slope of power term `term`'s tangent about discharge q, the law giving discharge f and
    // slope s at the heads: s (q/f)^p, p = about_power, capped at the law's cap. Near the law
    // (near_law), taken to the third order in x = q/f - 1 where |x| is within near_law_ratio: the
    // fourth-order term is then below 1e-9 s for the laws' exponents (p from -1 to 0); else by a
    // power.
    template <bool near_law>
    double tangent_slope(const Term& term, double q, double f, double s) {
        double x = 0.0;
        if constexpr (near_law) x = q / f - 1.0;
        if (near_law && x == 0.0) return std::min(term.cap, s); // the series at 0 is 1
        if (near_law && std::abs(x) <= near_law_ratio)
            return std::min(term.cap, s * slope_series_.third_order(term.about_power, x));
        const double magnitude = std::abs(q);
        if (magnitude > 0.0)
            return std::min(term.cap, term.ek * std::pow(magnitude / term.k, term.about_power));
        return term.cap;
    }

    // Link e's discharge on its tangent of the last evaluation with `about` and `assemble`, at
    // head difference dh (h its heads).
    double tangent_flow(std::size_t e, const Term& term, const std::vector<double>& h,
                        double dh) const {
        const Kind kind = term.kind;
        // A linear or power term is a pure power law's.
        return kind == Kind::linear || kind == Kind::power
                   ? (1.0 - term.exponent) * about[e] + slopes_[e] * dh
               : kind == Kind::valve  ? valve(e, h, Form::about).flow
               : pure_power(laws_[e]) ? (1.0 - laws_[e].exponent) * about[e] + slopes_[e] * dh
                                      : intercepts_[e] + slopes_[e] * dh;
    }

    // The heads `h` by slot: one gather per node, rather than two reads of nodes far apart in
    // memory per link.
    const double* by_slot(const std::vector<double>& h) const {
        if (t_.slot_node.empty()) return h.data();
        std::vector<double>& x = t_.buffers.gathered;
        x.resize(t_.slot_node.size());
        for (std::size_t s = 0; s < x.size(); ++s)
            x[s] = h[static_cast<std::size_t>(t_.slot_node[s])];
        return x.data();
    }

    // Builds link e's term anew, keeping the count of those that are not a pure power law's.
    void set_term(std::size_t e) {
        auto other = [](Kind kind) { return kind == Kind::valve || kind == Kind::other ? 1 : 0; };
        t_.buffers.other_terms -= other(terms_[e].kind);
        build_term(e);
        t_.buffers.other_terms += other(terms_[e].kind);
    }

    void build_term(std::size_t e) {
        const model::Link& link = model_.links[e];
        const auto a = static_cast<std::size_t>(link.start);
        const auto b = static_cast<std::size_t>(link.end);
        Term& term = terms_[e];
        term = Term{};
        if (link.status != model::LinkStatus::open || !t_.reached[a] || !t_.reached[b]) return;
        term.a = link.start;
        term.b = link.end;
        term.xa = t_.slot.empty() ? term.a : t_.slot[a];
        term.xb = t_.slot.empty() ? term.b : t_.slot[b];
        // An end without a row adds to the spare entry past the rows (see residual_).
        const auto spare = static_cast<std::int32_t>(t_.node_of.size());
        term.ra = t_.equation[a] >= 0 ? t_.equation[a] : spare;
        term.rb = t_.equation[b] >= 0 ? t_.equation[b] : spare;
        term.sa = t_.start_entry[e];
        term.sb = t_.end_entry[e];
        term.so = t_.off_entry[e];
        term.kind = valve_of_[e] >= 0 ? Kind::valve : Kind::other;
        if (term.kind == Kind::valve || link.start == link.end || !pure_power(laws_[e])) return;
        const LinkLaw& law = laws_[e];
        term.kind = law.exponent == 1.0 ? Kind::linear : Kind::power;
        term.k = law.k;
        term.exponent = law.exponent;
        term.cap = law.cap;
        term.ek = law.exponent * law.k;
        term.about_power = (law.exponent - 1.0) / law.exponent;
    }

    ValveTerm valve(std::size_t e, const std::vector<double>& h, Form form) const {
        const auto v = static_cast<std::size_t>(valve_of_[e]);
        const model::Link& link = model_.links[e];
        return valve_term(valves_[v], valve_states[v], h[static_cast<std::size_t>(link.start)],
                          h[static_cast<std::size_t>(link.end)], about.empty() ? 0.0 : about[e],
                          form == Form::law      ? ValveForm::law
                          : form == Form::linear ? ValveForm::linear
                                                 : ValveForm::about);
    }

    const model::Model& model_;
    Solver::Topology& t_;
    // The solver's cache of laws, not a copy (80 bytes a link: 160 MB on a grid of 10^6 nodes).
    const std::vector<LinkLaw>& laws_;
    std::vector<double>& start_;
    std::vector<std::uint8_t>& start_ready_;
    PowerMemo& powers_;
    std::vector<ValveLaw> valves_;
    std::vector<std::int32_t>& valve_of_; // per link: its valve, or -1
    std::vector<double>& residual_;
    std::vector<double>& flows_;
    std::vector<double>& slopes_;
    // Per link, the tangent's discharge at a head difference of 0: for a law other than a pure
    // power law the tangent is not (1 - e) q + slope * dh.
    std::vector<double>& intercepts_;
    std::vector<Term>& terms_;
    struct Kept {
        const std::vector<double>* heads = nullptr;
        const std::vector<double>* flows = nullptr;
        const std::vector<double>* slopes = nullptr;
        const std::vector<std::uint8_t>* by_series = nullptr;
        const std::vector<std::uint8_t>* recomputed = nullptr;
    } kept_; // see evaluate_keeping
    static bool same_bits(double x, double y) {
        return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
    }
    std::vector<double>& minus_demand_; // per row: the negated given discharge of its node
    std::vector<double>& anchor_dh_;
    std::vector<double>& anchor_flow_;
    std::vector<std::uint8_t>& by_series_;
    Timings& timings_;
    bool timed_;
    double largest_ = 0.0;
    std::int32_t worst_ = -1;
    double tangents_largest_ = 0.0; // see take_tangents_largest
    std::int32_t tangents_worst_ = -1;
    bool near_law_ = false;
    double* tangents_ = nullptr; // see evaluate_with_tangents
    PowerSeries law_series_, slope_series_;
    static constexpr double near_law_ratio = 4.0e-3;
};

// Nodes joined to a known head by open links when the closed links of `states` are left out.
std::vector<bool> reached_through(const model::Model& model, const std::vector<LinkState>& states) {
    return reached_from_known_heads(
        model, adjacency_of(model, [&](std::size_t e) { return states[e] != LinkState::closed; }));
}

std::string first_ids(const model::Model& model, const std::vector<bool>& reached) {
    std::string ids;
    std::size_t listed = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < reached.size(); ++i) {
        if (reached[i]) continue;
        ++count;
        if (listed < 5) {
            ids += (listed == 0 ? "" : ", ") + model.nodes[i].id;
            ++listed;
        }
    }
    if (count > listed) ids += ", ...";
    return ids;
}

} // namespace

Result Solver::run(const model::Model& model, const Settings& settings,
                   std::span<const double> start) {
    Result result;
    run(model, settings, start, result);
    return result;
}

void Solver::run(const model::Model& model, const Settings& settings, std::span<const double> start,
                 Result& result) {
    result.outcome = Outcome::refused;
    result.passes.clear();
    result.findings.clear();
    result.max_imbalance = 0.0;
    result.worst_node = -1;
    result.timings = {};
    const std::size_t n = model.nodes.size();
    result.solved.assign(n, false);
    result.heads.assign(n, std::nan(""));
    result.nodal_discharge.assign(n, std::nan(""));
    result.flows.assign(model.links.size(), std::nan(""));
    result.states.assign(model.links.size(), LinkState::open);
    for (std::size_t e = 0; e < model.links.size(); ++e)
        if (model.links[e].status != model::LinkStatus::open) result.states[e] = LinkState::closed;

    // Every open link's law must be a finite positive conductance.
    if (!laws_) laws_ = std::make_unique<Laws>();
    laws_->fit(model);
    for (std::size_t e = 0; e < model.links.size(); ++e) {
        const model::Link& link = model.links[e];
        if (link.status != model::LinkStatus::open || laws_->sound_as_before(model, e)) continue;
        std::string why;
        // The input check's code where it has one for the fault.
        model::Code code = model::Code::bad_link;
        const bool valve = link.kind == model::LinkKind::valve;
        if (laws_->pump_of[e] >= 0) {
            const model::Pump& pump = model.pumps[static_cast<std::size_t>(laws_->pump_of[e])];
            why = pump_curve(pump).why;
            if (why.empty() && !(pump.speed > 0.0 && std::isfinite(pump.speed)))
                why = "its speed is " + number_text(pump.speed) + ", not positive";
            if (why.empty()) laws_->of(model, e);
        } else if (link.kind == model::LinkKind::pump) {
            why = "it is a pump with no curve or power";
        } else if (!valve && !(link.length.value > 0.0)) {
            why = "its length is " + number_text(link.length.value) + ", not positive";
            code = link.start == link.end ? model::Code::link_same_node
                                          : model::Code::link_zero_length;
        } else if (!(link.diameter.value > 0.0)) {
            why = "its diameter is " + number_text(link.diameter.value) + ", not positive";
            code = model::Code::link_bad_diameter;
        } else if (!valve && model.law != model::HeadLossLaw::laminar &&
                   !(link.roughness.value > 0.0)) {
            why = "its roughness coefficient is " + number_text(link.roughness.value) +
                  ", not positive";
            code = model::Code::link_bad_roughness;
        } else if (!(link.minor_loss.value >= 0.0)) {
            why = "its minor loss coefficient is " + number_text(link.minor_loss.value) +
                  ", negative";
        } else if (!valve) {
            const LinkLaw& law = laws_->of(model, e);
            if (!(law.k > 0.0) || !std::isfinite(law.k) || !(law.cap >= 0.0) ||
                !std::isfinite(law.cap) || !std::isfinite(law.minor) ||
                (law.darcy && !(law.reynolds > 0.0 && std::isfinite(law.reynolds))))
                why = model.law == model::HeadLossLaw::laminar
                          ? "its law has no finite positive conductance (density * gravity / "
                            "viscosity " +
                                number_text(model.rho_g_over_mu.value) + ")"
                          : "its law has no finite positive conductance (viscosity " +
                                number_text(model.viscosity) + " m2/s)";
            laws_->sound[e] = why.empty() ? 1 : 0;
        }
        if (!why.empty())
            result.findings.push_back(model::make_finding(code, {link.id, why}, link.record));
    }
    std::vector<ValveLaw> valves;
    for (const model::Valve& valve : model.valves) {
        const bool on_a_valve =
            valve.link >= 0 && static_cast<std::size_t>(valve.link) < model.links.size() &&
            model.links[static_cast<std::size_t>(valve.link)].kind == model::LinkKind::valve;
        if (!on_a_valve || !(valve.setting >= 0.0) || !std::isfinite(valve.setting)) {
            result.findings.push_back(model::make_finding(
                model::Code::bad_link,
                {on_a_valve ? model.links[static_cast<std::size_t>(valve.link)].id
                            : std::to_string(valve.link),
                 on_a_valve ? "its valve setting " + number_text(valve.setting) +
                                  " is not a finite number of 0 or more"
                            : std::string("a valve names it, but it is not a valve link")}));
            continue;
        }
        valves.push_back(valve_law(model, valve));
    }
    if (!result.findings.empty()) return;

    if (!topology_ || !same_signature(model, topology_->signature)) {
        const Stopwatch watch(settings.timed ? &result.timings.topology : nullptr);
        topology_.reset();
        topology_ =
            std::make_unique<Topology>(model, signature_of(model), settings.large_network_rows,
                                       settings.nested_dissection_rows);
        start = {};
    }
    Topology& t = *topology_;
    // The numeric factor is of no use once the passes end: the next run factorizes anew. A large
    // network's laws are not kept either (with the values they were worked out from and the
    // final check's coefficients, over 27 MB at 10^5 nodes, held while the caller writes its
    // results): working them out again costs a hundredth of its analysis.
    struct AfterRun {
        Topology& t;
        std::unique_ptr<Laws>& laws;
        bool large;
        ~AfterRun() {
            t.cholesky.release_values();
            if (!large) return;
            // Nor the passes' buffers and terms (over 200 bytes a link), nor what a re-solve
            // would take from the last run: without the laws it takes nothing.
            t.buffers = PassBuffers{};
            t.last_slopes = {};
            t.last_by_series = {};
            laws.reset();
#if defined(__GLIBC__)
            // Give the passes' and the factor's pages back now: freed in many pieces, they
            // would stay with the process while the caller writes a large network's results.
            malloc_trim(0);
#endif
        }
    } after_run{t, laws_,
                static_cast<std::int64_t>(t.node_of.size()) >= settings.large_network_rows};

    const bool any_known = std::any_of(model.nodes.begin(), model.nodes.end(),
                                       [](const model::Node& node) { return node.fixed_head; });
    if (!any_known) {
        result.outcome = Outcome::singular;
        result.findings.push_back(model::make_finding(model::Code::no_known_head, {}));
        return;
    }
    if (t.left_out > 0)
        result.findings.push_back(
            model::make_finding(model::Code::isolated_nodes,
                                {std::to_string(t.left_out), first_ids(model, t.reached)}));

    laws_->powers.fit(after_run.large ? 0 : model.links.size());
    Passes passes(model, t, laws_->laws, laws_->recomputed, laws_->start, laws_->start_ready,
                  laws_->powers, std::move(valves), result.timings, settings.timed);
    std::vector<double>& h = passes.heads;
    h.assign(n, 0.0);
    for (const std::int32_t i : t.known)
        h[static_cast<std::size_t>(i)] = model.nodes[static_cast<std::size_t>(i)].fixed_head->value;
    const bool warm = start.size() == n;
    if (warm) {
        for (const std::int32_t i : t.node_of)
            if (std::isfinite(start[static_cast<std::size_t>(i)]))
                h[static_cast<std::size_t>(i)] = start[static_cast<std::size_t>(i)];
        passes.take_series_near_known_values();
    }

    Eigen::VectorXd& step = t.buffers.step;
    std::vector<double>& trial = passes.trial;
    trial = h; // from here on only the rows' entries of either change
    // Sets the rows' heads of `trial` to those of h moved by `fraction` of the step.
    auto move = [&](double fraction) {
        double largest = 0.0;
        for (std::size_t r = 0; r < t.node_of.size(); ++r) {
            const double change = fraction * step[static_cast<Eigen::Index>(r)];
            const auto i = static_cast<std::size_t>(t.node_of[r]);
            trial[i] = h[i] + change;
            largest = std::max(largest, std::abs(change));
        }
        return largest;
    };
    auto singular_at = [&](std::int32_t pass) {
        result.outcome = Outcome::singular;
        const std::int32_t at = passes.worst() >= 0 ? passes.worst() : t.node_of.front();
        result.findings.push_back(model::make_finding(
            model::Code::not_positive_definite,
            {std::to_string(pass), model.nodes[static_cast<std::size_t>(at)].id}));
    };

    bool converged = t.node_of.empty();
    double norm = -1.0; // the sum of squared imbalances of the laws at h, once evaluated
    // Whether the sweep that evaluated the laws at h also assembled the first pass's tangents
    // about their discharges (Passes::evaluate_law_and_tangents): one sweep less. Not for a large
    // network, where the laws' residual apart would take 8 bytes a row more at the peak.
    bool assembled = false;
    if (!converged && !warm) {
        // The start: every link taken as linear, Q = c * dh (start_conductances), one exact
        // solve.
        passes.start_conductances();
        passes.evaluate(h, true, Passes::Form::linear);
        if (!passes.newton_step(step)) {
            singular_at(0);
            return;
        }
        const double change = move(1.0);
        h.swap(trial);
        assembled = passes.plain() && !after_run.large;
        norm = assembled ? passes.evaluate_law_and_tangents(h)
                         : passes.evaluate(h, false, Passes::Form::law);
        result.passes.push_back({0, passes.largest(), change, 1.0});
    }
    // Each pass linearizes every law about the discharge it carries (a tangent in the discharge,
    // whose slope stays finite near zero flow where the head form's does not) and solves for the
    // heads that balance those tangents; the step is then halved until the residual of the laws
    // themselves falls (Armijo's rule), the discharges moving with the heads.
    if (norm < 0.0 && warm && t.last_flows.size() == model.links.size() &&
        t.last_slopes.size() == model.links.size() &&
        t.last_by_series.size() == model.links.size() && t.last_heads.size() == n) {
        // From the heads the last run ended at, every law that was not worked out again still
        // gives the discharge it gave then.
        assembled = passes.plain() && !after_run.large;
        norm = passes.evaluate_keeping(h, t.last_heads, t.last_flows, t.last_slopes,
                                       t.last_by_series, laws_->recomputed, assembled);
    }
    if (norm < 0.0) {
        assembled = passes.plain() && !after_run.large;
        norm = assembled ? passes.evaluate_law_and_tangents(h)
                         : passes.evaluate(h, false, Passes::Form::law);
    }
    if (!assembled) passes.about = passes.flows();
    std::vector<double>& tangent_flows = t.buffers.tangent;
    // The valves' states are fixed while the passes run; a round of passes that converges is
    // followed by the state rules, and by another round when a state changed.
    std::int32_t pass = 0;
    bool unsettled = false;
    // A re-solve near its solution takes its next passes on the last factorization (chord steps
    // on the laws' own residual) rather than new ones: there a chord step is the Newton step to
    // within the last step's change of slopes, and the step and the balances after it are checked
    // as any pass's. Near means that the balances already hold, or that the last Newton pass cut
    // the residual's sum of squares a thousandfold (the slopes then move little); chord steps go
    // on while each cuts it a hundredfold, and one that does not lower it gives way to a Newton
    // pass from the same heads. Not in a first analysis, whose results stay those of Newton's
    // passes alone, nor with valves, whose states may move between passes.
    const bool chords = warm && model.valves.empty();
    constexpr double newton_cut_for_chords = 1.0e-3;
    constexpr double chord_cut_to_go_on = 1.0e-2;
    bool chord_next = false;
    for (std::int32_t round = 1;; ++round) {
        for (std::int32_t in_round = 1; !converged && in_round <= settings.max_passes; ++in_round) {
            ++pass;
            if (chord_next) {
                chord_next = false;
                if (passes.solve(step)) {
                    const double change = move(1.0);
                    const double trial_norm = passes.evaluate(trial, false, Passes::Form::law);
                    if (trial_norm <= norm) {
                        const bool strong = trial_norm <= chord_cut_to_go_on * norm;
                        norm = trial_norm;
                        h.swap(trial);
                        passes.about = passes.flows();
                        result.passes.push_back({pass, passes.largest(), change, 1.0});
                        converged = passes.largest() <= settings.flow_tolerance &&
                                    change <= settings.head_tolerance;
                        chord_next = !converged && strong;
                        continue;
                    }
                }
                // Not taken: the pass is Newton's, from the laws at h.
                norm = passes.evaluate(h, false, Passes::Form::law);
            }
            if (assembled)
                passes.take_tangents_largest();
            else
                passes.evaluate(h, true, Passes::Form::about);
            assembled = false;
            if (!passes.newton_step(step)) {
                singular_at(pass);
                return;
            }
            double change = move(1.0);
            double fraction = 1.0;
            double trial_norm = passes.evaluate_with_tangents(trial, tangent_flows);
            for (;;) {
                if (trial_norm <= (1.0 - 1.0e-4 * fraction) * norm || fraction <= 1.0 / 16.0) break;
                fraction /= 2.0;
                change = move(fraction);
                trial_norm = passes.evaluate(trial, false, Passes::Form::law);
            }
            // Where no fraction lowered the residual the full step is kept: the tangents' own
            // solution, which is where the discharges converge from.
            if (fraction <= 1.0 / 16.0 && trial_norm > norm) {
                fraction = 1.0;
                change = move(1.0);
                trial_norm = passes.evaluate(trial, false, Passes::Form::law);
            }
            const bool cut = trial_norm <= newton_cut_for_chords * norm;
            norm = trial_norm; // the residual and discharges held are now those of the laws at h
            for (std::size_t e = 0; e < passes.about.size(); ++e)
                passes.about[e] += fraction * (tangent_flows[e] - passes.about[e]);
            h.swap(trial);
            result.passes.push_back({pass, passes.largest(), change, fraction});
            converged =
                passes.largest() <= settings.flow_tolerance && change <= settings.head_tolerance;
            chord_next =
                chords && !converged && (cut || passes.largest() <= settings.flow_tolerance);
        }
        // A round that did not converge may have held a valve in a state the network cannot meet:
        // its heads still show which way the valve must move.
        if (model.valves.empty() || !passes.update_valve_states(h)) break;
        if (round == max_valve_rounds) {
            unsettled = true;
            converged = false;
            break;
        }
        converged = false;
        norm = passes.evaluate(h, false, Passes::Form::law);
    }

    result.solved = t.reached;
    for (std::size_t i = 0; i < n; ++i)
        if (t.reached_byte[i] != 0) result.heads[i] = h[i];
    for (std::size_t e = 0; e < model.links.size(); ++e) {
        const model::Link& link = model.links[e];
        if (t.reached_byte[static_cast<std::size_t>(link.start)] == 0 ||
            t.reached_byte[static_cast<std::size_t>(link.end)] == 0)
            continue;
        result.flows[e] = passes.flows()[e];
        if (const std::int32_t v = passes.valve_of(e);
            v >= 0 && link.status == model::LinkStatus::open) {
            const ValveState state = passes.valve_states[static_cast<std::size_t>(v)];
            result.states[e] = reported_state(passes.valve_law(static_cast<std::size_t>(v)), state);
            continue;
        }
        // A closed check valve's leak only keeps the matrix definite: it carries nothing.
        const double dh =
            h[static_cast<std::size_t>(link.start)] - h[static_cast<std::size_t>(link.end)];
        if (closed_check_valve(passes.law(e), dh)) {
            result.flows[e] = 0.0;
            result.states[e] = LinkState::closed;
        }
        if (const std::shared_ptr<const PumpLaw>& pump = passes.law(e).pump;
            pump && closed_pump(*pump, dh)) {
            result.flows[e] = 0.0;
            result.states[e] = LinkState::closed;
            result.findings.push_back(
                model::make_finding(model::Code::pump_cannot_deliver,
                                    {link.id, number_text(-dh, 6), model.units.length,
                                     number_text(pump->shutoff, 6), model.units.length},
                                    link.record));
        }
    }
    if (std::find(result.states.begin(), result.states.end(), LinkState::closed) !=
        result.states.end()) {
        std::vector<bool> supplied = reached_through(model, result.states);
        // Only the nodes the closed check valves cut off, not those no open link reaches.
        for (std::size_t i = 0; i < n; ++i) supplied[i] = supplied[i] || !t.reached[i];
        const auto cut =
            static_cast<std::size_t>(std::count(supplied.begin(), supplied.end(), false));
        if (cut > 0)
            result.findings.push_back(
                model::make_finding(model::Code::cut_off_by_check_valves,
                                    {std::to_string(cut), first_ids(model, supplied)}));
    }
    for (std::size_t i = 0; i < n; ++i)
        if (t.reached_byte[i] != 0) result.nodal_discharge[i] = 0.0;
    for (std::size_t e = 0; e < model.links.size(); ++e) {
        if (!std::isfinite(result.flows[e])) continue;
        result.nodal_discharge[static_cast<std::size_t>(model.links[e].start)] += result.flows[e];
        result.nodal_discharge[static_cast<std::size_t>(model.links[e].end)] -= result.flows[e];
    }

    const FinalCheck check =
        check_final_state(model, t.free_byte, t.reached_byte, result.heads, result.flows,
                          result.states, &laws_->check, &laws_->powers);
    result.max_imbalance = check.max_imbalance;
    result.worst_node = check.worst_node;
    if (converged && check.holds(settings.flow_tolerance, settings.head_tolerance)) {
        result.outcome = Outcome::solved;
    } else {
        result.outcome = Outcome::not_converged;
        const std::string worst = check.worst_node >= 0
                                      ? model.nodes[static_cast<std::size_t>(check.worst_node)].id
                                      : std::string("none");
        if (unsettled) {
            result.findings.push_back(model::make_finding(
                model::Code::valve_states_unsettled,
                {std::to_string(max_valve_rounds),
                 model.links[static_cast<std::size_t>(passes.changed_link)].id}));
        } else if (!converged) {
            result.findings.push_back(
                model::make_finding(model::Code::not_converged,
                                    {std::to_string(settings.max_passes), worst,
                                     number_text(check.max_imbalance), model.units.discharge}));
        } else {
            std::string what = "node " + worst + " is off by " + number_text(check.max_imbalance) +
                               " " + model.units.discharge;
            if (check.worst_link >= 0)
                what += "; link " + model.links[static_cast<std::size_t>(check.worst_link)].id +
                        " is off its law by " + number_text(check.max_law_error);
            if (check.worst_setting_link >= 0)
                what += "; valve " +
                        model.links[static_cast<std::size_t>(check.worst_setting_link)].id +
                        " is off its setting by " + number_text(check.max_setting_error) + " " +
                        model.units.length;
            if (!check.finite) what += "; a value is not a finite number";
            result.findings.push_back(model::make_finding(model::Code::final_check_failed, {what}));
        }
    }
    t.last_heads = h;
    t.last_flows = passes.flows();
    if (!after_run.large) { // a large network's laws are not kept: it would take nothing
        t.last_slopes = passes.slopes();
        t.last_by_series = passes.by_series();
    }
    std::fill(laws_->recomputed.begin(), laws_->recomputed.end(), std::uint8_t{0});
    return;
}

Result analyse(const model::Model& model, const Settings& settings) {
    Solver solver;
    return solver.run(model, settings);
}

} // namespace pipenet::analysis
