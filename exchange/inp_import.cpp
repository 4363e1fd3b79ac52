#include "exchange/inp_import.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "exchange/capacities.hpp"
#include "exchange/inp_reader.hpp"
#include "exchange/inp_refusals.hpp"
#include "exchange/inp_units.hpp"
#include "network/model.hpp"
#include "network/renumber.hpp"

namespace pipenet::exchange {

namespace {

std::string text_of(double value) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.6g", value);
    return buffer.data();
}

// The length the programs take for a pipe between two points.
float coordinate_length(float x1, float y1, float x2, float y2) {
    double dx = double{x2} - double{x1};
    double dy = double{y2} - double{y1};
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

struct Point {
    double x = 0.0;
    double y = 0.0;
    bool given = false;
};

class Importer {
public:
    Importer(const InpNetwork& network, ImportedNetwork& imported,
             std::vector<Diagnostic>& diagnostics)
        : net_(network), out_(imported), diagnostics_(diagnostics),
          length_(length_conversion(network.options.units)),
          diameter_(diameter_conversion(network.options.units)),
          flow_(flow_conversion(network.options.units)) {}

    bool run() {
        // A file with nothing to compute (an empty file, a text that is no .inp file) would
        // become an input the programs cannot read.
        if (net_.junctions.empty() && net_.reservoirs.empty() && net_.tanks.empty())
            note(Message::no_nodes, 0, {});
        if (net_.pipes.empty() && net_.pumps.empty() && net_.valves.empty())
            note(Message::no_links, 0, {});
        if (failed_) return false;
        // Every reason for a refusal in one pass: the pipes are checked even when a pump or a
        // valve has already decided it.
        refuse_what_cannot_be_represented();
        number_nodes();
        choose_pipes();
        if (failed_) return false;
        place_nodes();
        write_pipes();
        write_demands();
        write_known_heads();
        renumber();
        return !failed_;
    }

private:
    void note(Message id, std::int32_t line, std::initializer_list<std::string_view> values) {
        diagnostics_.push_back(diagnostic(id, line, values));
        if (diagnostics_.back().severity == Severity::error) failed_ = true;
    }

    // The value as the programs will read it: the nearest float its field holds. A value beyond
    // the float range, a diameter that vanishes in it, or one the field cannot hold to float
    // precision is an error naming the element.
    float store(RealField field, double value, std::string_view what, const std::string& id,
                std::int32_t line) {
        auto single = static_cast<float>(value);
        float fitted = fit_to_field(field, single);
        bool vanished = field == RealField::diameter && !(fitted > 0.0f);
        if (!std::isfinite(fitted) || vanished ||
            std::fabs(double{fitted} - value) > 1.0e-6 * std::fabs(value)) {
            note(Message::value_out_of_range, line, {what, id, text_of(value)});
        }
        return fitted;
    }

    void refuse_what_cannot_be_represented() {
        statuses_ = pipe_statuses(net_);
        if (refuse_unsupported(net_, statuses_, Refusal::programs, diagnostics_)) failed_ = true;
    }

    void number_nodes() {
        for (const InpJunction& j : net_.junctions) add_node(j.id);
        for (const InpReservoir& r : net_.reservoirs) add_node(r.id);
        for (const InpTank& t : net_.tanks) add_node(t.id);
        points_.assign(out_.node_ids.size(), Point{});
        for (const InpCoordinate& c : net_.coordinates) {
            auto it = node_number_.find(c.node);
            if (it == node_number_.end()) continue;
            points_[static_cast<std::size_t>(it->second - 1)] = {length_(c.x), length_(c.y), true};
        }
    }

    void add_node(const std::string& id) {
        out_.node_ids.push_back(id);
        node_number_.emplace(id, static_cast<std::int32_t>(out_.node_ids.size()));
    }

    void choose_pipes() {
        std::map<double, std::size_t> roughness_count;
        for (std::size_t i = 0; i < net_.pipes.size(); ++i) {
            const InpPipe& p = net_.pipes[i];
            if (statuses_.status[i] == LinkStatus::closed) {
                note(Message::closed_pipe_left_out, statuses_.line[i], {p.id});
                continue;
            }
            if (!(p.length > 0.0 && p.diameter > 0.0 && p.roughness > 0.0)) {
                note(Message::nonpositive_pipe_value, p.line, {p.id});
                continue;
            }
            if (!node_number_.contains(p.start_node) || !node_number_.contains(p.end_node)) {
                note(Message::unknown_node, p.line,
                     {"pipe", p.id,
                      node_number_.contains(p.start_node) ? p.end_node : p.start_node});
                continue;
            }
            if (p.start_node == p.end_node) {
                note(Message::self_loop, p.line, {p.id, p.start_node});
                continue;
            }
            if (p.minor_loss != 0.0)
                note(Message::minor_loss_dropped, p.line, {p.id, text_of(p.minor_loss)});
            open_pipes_.push_back(i);
            ++roughness_count[p.roughness];
        }
        // A network refused already gets its pipes' faults, not a header value.
        if (failed_) return;
        if (open_pipes_.empty()) {
            note(Message::no_pipes, 0, {});
            return;
        }
        // The most common value, the larger one of a tie: most pipes keep their diameter.
        std::size_t best = 0;
        for (const auto& [value, count] : roughness_count) {
            if (count >= best) {
                best = count;
                roughness_ =
                    store(RealField::relative_roughness, value, "roughness of pipe",
                          net_.pipes[open_pipes_.front()].id, net_.pipes[open_pipes_.front()].line);
            }
        }
        note(Message::roughness_chosen, 0,
             {text_of(roughness_), std::to_string(best), std::to_string(open_pipes_.size())});
    }

    void place_nodes() {
        lay_out_missing();
        shift_large();
        x_.resize(points_.size());
        y_.resize(points_.size());
        for (std::size_t n = 0; n < points_.size(); ++n) {
            x_[n] = store(RealField::coordinate, points_[n].x, "x of node", out_.node_ids[n], 0);
            y_[n] = store(RealField::coordinate, points_[n].y, "y of node", out_.node_ids[n], 0);
        }
        separate_coincident();
    }

    void lay_out_missing() {
        std::size_t missing = 0;
        std::string first_missing;
        double x_max = 0.0;
        double y_min = 0.0;
        bool any = false;
        for (std::size_t n = 0; n < points_.size(); ++n) {
            if (!points_[n].given) {
                if (missing++ == 0) first_missing = out_.node_ids[n];
                continue;
            }
            x_max = any ? std::max(x_max, points_[n].x) : points_[n].x;
            y_min = any ? std::min(y_min, points_[n].y) : points_[n].y;
            any = true;
        }
        if (missing == 0) return;
        // A grid about one mean pipe length apart, to the right of the nodes that have places.
        double total = 0.0;
        for (std::size_t i : open_pipes_) total += length_(net_.pipes[i].length);
        double spacing =
            open_pipes_.empty()
                ? 100.0
                : std::max(1.0, std::round(total / static_cast<double>(open_pipes_.size())));
        auto columns = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(missing))));
        double x0 = any ? std::round(x_max) + spacing : 0.0;
        double y0 = any ? std::round(y_min) : 0.0;
        std::size_t k = 0;
        for (Point& p : points_) {
            if (p.given) continue;
            p.x = x0 + spacing * static_cast<double>(k % columns);
            p.y = y0 + spacing * static_cast<double>(k / columns);
            ++k;
        }
        note(Message::coordinates_laid_out, 0,
             {std::to_string(missing), text_of(spacing), first_missing});
    }

    // Coordinates of a million metres or more would not keep their digits in the node fields.
    void shift_large() {
        if (points_.empty()) return;
        double x_min = points_.front().x;
        double y_min = points_.front().y;
        double largest = 0.0;
        for (const Point& p : points_) {
            x_min = std::min(x_min, p.x);
            y_min = std::min(y_min, p.y);
            largest = std::max({largest, std::fabs(p.x), std::fabs(p.y)});
        }
        if (largest < 1.0e6) return;
        double dx = std::floor(x_min);
        double dy = std::floor(y_min);
        for (Point& p : points_) {
            p.x -= dx;
            p.y -= dy;
        }
        note(Message::coordinates_shifted, 0, {text_of(-dx), text_of(-dy)});
    }

    // A pipe whose ends lie on one point has no length for the programs: move its end node a
    // hundredth of the pipe's length along x, to where no node lies.
    void separate_coincident() {
        for (int pass = 0; pass < 8; ++pass) {
            bool moved = false;
            for (std::size_t i : open_pipes_) {
                const InpPipe& p = net_.pipes[i];
                auto a = static_cast<std::size_t>(node_number_.at(p.start_node) - 1);
                auto b = static_cast<std::size_t>(node_number_.at(p.end_node) - 1);
                if (coordinate_length(x_[a], y_[a], x_[b], y_[b]) > 0.0f) continue;
                double step = std::max(0.01 * length_(p.length), 0.01);
                float target = static_cast<float>(double{x_[b]} + step);
                if (target == x_[b]) target = std::nextafter(x_[b], HUGE_VALF);
                note(Message::coincident_node_moved, p.line,
                     {p.end_node, p.start_node, p.id, text_of(double{target} - double{x_[b]})});
                x_[b] =
                    store(RealField::coordinate, double{target}, "x of node", p.end_node, p.line);
                moved = true;
            }
            if (!moved) return;
        }
    }

    void write_pipes() {
        double largest_change = -1.0;
        std::string changed_pipe;
        double changed_from = 0.0;
        double changed_to = 0.0;
        std::int32_t element = 0;
        std::size_t equivalent_pipes = 0;
        for (std::size_t i : open_pipes_) {
            const InpPipe& p = net_.pipes[i];
            std::int32_t a = node_number_.at(p.start_node);
            std::int32_t b = node_number_.at(p.end_node);
            auto ia = static_cast<std::size_t>(a - 1);
            auto ib = static_cast<std::size_t>(b - 1);
            float along = coordinate_length(x_[ia], y_[ia], x_[ib], y_[ib]);
            double diameter = diameter_(p.diameter);
            double equivalent = equivalent_diameter(diameter, length_(p.length), p.roughness,
                                                    double{along}, double{roughness_});
            float stored =
                store(RealField::diameter, equivalent, "equivalent diameter of pipe", p.id, p.line);
            double change = std::fabs(double{stored} / diameter - 1.0);
            // Beyond the rounding to single precision, the pipe is not the file's pipe.
            if (change > 1.0e-6) ++equivalent_pipes;
            if (change > largest_change) {
                largest_change = change;
                changed_pipe = p.id;
                changed_from = diameter;
                changed_to = stored;
            }
            out_.records.elements.push_back({++element, a, b, stored});
            out_.pipe_ids.push_back(p.id);
            out_.pipe_lengths.push_back(length_(p.length));
            out_.pipe_diameters.push_back(diameter);
        }
        if (equivalent_pipes > 0)
            note(Message::equivalent_pipes, 0,
                 {std::to_string(equivalent_pipes), std::to_string(open_pipes_.size())});
        if (largest_change >= 0.0)
            note(Message::largest_diameter_change, 0,
                 {changed_pipe, text_of(changed_from), text_of(changed_to),
                  text_of(100.0 * (changed_to / changed_from - 1.0))});
    }

    // The multiplier of a pattern at the start time; an empty ID means the default pattern.
    double first_multiplier(const std::string& pattern_id) const {
        return multiplier_at(net_, pattern_id, 0);
    }

    void write_demands() {
        std::vector<double> demand(out_.node_ids.size(), 0.0);
        std::vector<bool> replaced(out_.node_ids.size(), false);
        for (const InpDemand& d : net_.demands) {
            auto it = node_number_.find(d.junction);
            if (it == node_number_.end() ||
                static_cast<std::size_t>(it->second) > net_.junctions.size())
                continue; // reported by the reader
            auto n = static_cast<std::size_t>(it->second - 1);
            if (!replaced[n]) demand[n] = 0.0;
            replaced[n] = true;
            demand[n] += d.base_demand * first_multiplier(d.pattern);
        }
        for (std::size_t j = 0; j < net_.junctions.size(); ++j) {
            const InpJunction& junction = net_.junctions[j];
            auto n = static_cast<std::size_t>(node_number_.at(junction.id) - 1);
            if (!replaced[n]) demand[n] = junction.base_demand * first_multiplier(junction.pattern);
        }
        for (std::size_t n = 0; n < net_.junctions.size(); ++n) {
            // A demand is drawn off the network: a negative known discharge.
            double q = -flow_(demand[n] * net_.options.demand_multiplier);
            if (q != 0.0)
                out_.records.discharges.push_back(
                    {static_cast<std::int32_t>(n + 1),
                     store(RealField::discharge, q, "demand of junction", net_.junctions[n].id,
                           net_.junctions[n].line)});
        }
    }

    void write_known_heads() {
        std::int32_t n = static_cast<std::int32_t>(net_.junctions.size());
        for (const InpReservoir& r : net_.reservoirs) {
            double multiplier = r.pattern.empty() ? 1.0 : first_multiplier(r.pattern);
            out_.records.heads.push_back({++n, store(RealField::head, length_(r.head * multiplier),
                                                     "head of reservoir", r.id, r.line)});
        }
        for (const InpTank& t : net_.tanks)
            out_.records.heads.push_back(
                {++n, store(RealField::head, length_(t.bottom_elevation + t.initial_level),
                            "head of tank", t.id, t.line)});
        if (out_.records.heads.empty()) note(Message::import_no_known_head, 0, {});
        out_.records.program = Program::turbnet;
        out_.records.max_iterations = imported_max_iterations;
        out_.records.tolerance = imported_tolerance;
        out_.records.relative_roughness = roughness_;
        for (std::size_t k = 0; k < points_.size(); ++k)
            out_.records.nodes.push_back({static_cast<std::int32_t>(k + 1), x_[k], y_[k]});
    }

    void renumber() {
        Renumbering renumbering = renumber_nodes(
            static_cast<std::int32_t>(out_.records.nodes.size()), element_ends(out_.records));
        apply_renumbering(out_.records, renumbering);
        std::vector<std::string> ids(out_.node_ids.size());
        for (std::size_t old = 1; old <= out_.node_ids.size(); ++old)
            ids[static_cast<std::size_t>(renumbering.new_number[old] - 1)] =
                std::move(out_.node_ids[old - 1]);
        out_.node_ids = std::move(ids);
        out_.half_band_before = renumbering.half_band_before;
        out_.half_band_after = renumbering.half_band_after;
        note_capacities(out_.records, renumbering.half_band_after, diagnostics_);
    }

    const InpNetwork& net_;
    ImportedNetwork& out_;
    std::vector<Diagnostic>& diagnostics_;
    Conversion length_;
    Conversion diameter_;
    Conversion flow_;
    bool failed_ = false;
    PipeStatuses statuses_;
    std::unordered_map<std::string_view, std::int32_t> node_number_;
    std::vector<Point> points_;
    std::vector<float> x_;
    std::vector<float> y_;
    std::vector<std::size_t> open_pipes_;
    float roughness_ = 0.0f;
};

// A change in per cent to three decimals, without a minus sign on a change that rounds to 0.
std::string percent_text(double value) {
    double rounded = std::round(value * 1000.0) / 1000.0;
    std::array<char, 40> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.3f", rounded == 0.0 ? 0.0 : rounded);
    return buffer.data();
}

std::string csv_field(std::string_view text) {
    if (text.find_first_of(",\"") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

} // namespace

double equivalent_diameter(double diameter, double length, double pipe_roughness,
                           double coordinate_length, double roughness) {
    return diameter * std::pow(pipe_roughness / roughness, 1.0 / 2.63) *
           std::pow(coordinate_length / length, 0.54 / 2.63);
}

bool import_network(const InpNetwork& network, ImportedNetwork& imported,
                    std::vector<Diagnostic>& diagnostics) {
    imported = ImportedNetwork{};
    Importer importer(network, imported, diagnostics);
    return importer.run();
}

std::string id_map_csv(const ImportedNetwork& imported) {
    std::string out = std::string(id_map_header) + "\n";
    for (std::size_t n = 0; n < imported.node_ids.size(); ++n)
        out += "node," + csv_field(imported.node_ids[n]) + "," + std::to_string(n + 1) + ",,,,\n";
    for (std::size_t e = 0; e < imported.pipe_ids.size(); ++e) {
        const double equivalent = imported.records.elements[e].diameter;
        const double file_diameter = imported.pipe_diameters[e];
        out += "pipe," + csv_field(imported.pipe_ids[e]) + "," + std::to_string(e + 1) + "," +
               text_of(imported.pipe_lengths[e]) + "," + text_of(file_diameter) + "," +
               text_of(equivalent) + "," +
               percent_text(100.0 * (equivalent / file_diameter - 1.0)) + "\n";
    }
    return out;
}

bool import_inp_text(std::string_view inp, std::string& input, std::string& map_csv,
                     ImportedNetwork& imported, std::vector<Diagnostic>& diagnostics) {
    input.clear();
    map_csv.clear();
    InpNetwork network;
    if (!read_inp(inp, network, diagnostics) || !import_network(network, imported, diagnostics))
        return false;
    std::string error;
    if (!write_network_records(imported.records, input, error)) {
        diagnostics.push_back(diagnostic(Message::inp_error, 0, {error}));
        return false;
    }
    map_csv = id_map_csv(imported);
    return true;
}

} // namespace pipenet::exchange
