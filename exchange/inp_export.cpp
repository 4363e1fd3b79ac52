#include "exchange/inp_export.hpp"

#include <charconv>
#include <cmath>

#include <algorithm>
#include <array>

namespace pipenet::exchange {

namespace {

// The roughness in mm written for a laminar pipe: a solver refuses 0, and 64/Re does not use it.
constexpr std::string_view laminar_roughness = "0.001";

// The shortest fixed-notation text that reads back to the same double.
std::string exact(double value) {
    std::array<char, 400> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                std::chars_format::fixed);
    return std::string(buffer.data(), result.ptr);
}

// value x 10^power from the shortest decimal text of the float: 0.03 m3/s is written 30 L/s,
// and an import that divides by 10^power again comes back to the same float.
std::string scaled(float value, int power) {
    std::array<char, 40> text{};
    auto result =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::scientific);
    std::string_view digits(text.data(), static_cast<std::size_t>(result.ptr - text.data()));
    std::size_t e = digits.find('e');
    int exponent = 0;
    std::from_chars(digits.data() + e + (digits[e + 1] == '+' ? 2 : 1),
                    digits.data() + digits.size(), exponent);
    std::string shifted(digits.substr(0, e));
    shifted += "e" + std::to_string(exponent + power);
    double decimal = 0.0;
    std::from_chars(shifted.data(), shifted.data() + shifted.size(), decimal);
    return exact(decimal);
}

float length_between(const NetworkRecords& records, std::int32_t a, std::int32_t b) {
    const NodeRecord& p = records.nodes[static_cast<std::size_t>(a - 1)];
    const NodeRecord& q = records.nodes[static_cast<std::size_t>(b - 1)];
    double dx = double{q.x} - double{p.x};
    double dy = double{q.y} - double{p.y};
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

bool pipes_numbered_once(const NetworkRecords& records) {
    std::vector<bool> seen(records.elements.size() + 1, false);
    for (const ElementRecord& e : records.elements) {
        if (e.element < 1 || static_cast<std::size_t>(e.element) > records.elements.size() ||
            seen[static_cast<std::size_t>(e.element)])
            return false;
        seen[static_cast<std::size_t>(e.element)] = true;
    }
    return true;
}

} // namespace

bool export_network(const NetworkRecords& input, LengthUnit lamnet_length, std::string& text,
                    std::vector<Diagnostic>& diagnostics) {
    text.clear();
    std::string why;
    if (!check_node_numbers(input, why)) {
        diagnostics.push_back(diagnostic(Message::export_bad_records, 0, {why}));
        return false;
    }
    if (!pipes_numbered_once(input)) {
        diagnostics.push_back(
            diagnostic(Message::export_bad_records, 0,
                       {"the pipes are not numbered 1 ... their count once each"}));
        return false;
    }
    // Node records in number order, so that node n is nodes[n - 1].
    NetworkRecords records = input;
    std::sort(records.nodes.begin(), records.nodes.end(),
              [](const NodeRecord& a, const NodeRecord& b) { return a.node < b.node; });
    std::sort(records.elements.begin(), records.elements.end(),
              [](const ElementRecord& a, const ElementRecord& b) { return a.element < b.element; });

    // The programs refuse such a pipe with a message of their own; a .inp file cannot hold it.
    for (const ElementRecord& e : records.elements) {
        if (length_between(records, e.start_node, e.end_node) > 0.0f && e.diameter > 0.0f) continue;
        diagnostics.push_back(diagnostic(Message::export_bad_pipe, 0, {std::to_string(e.element)}));
        return false;
    }

    const bool laminar = records.program == Program::lamnet;
    // Lengths to m, diameters to mm, flows to L/s.
    const double to_metres = laminar && lamnet_length == LengthUnit::centimetre ? 0.01 : 1.0;
    const double to_litres = laminar && lamnet_length == LengthUnit::centimetre ? 0.001 : 1000.0;
    auto metres = [&](float v) { return scaled(v, to_metres == 1.0 ? 0 : -2); };
    auto millimetres = [&](float v) { return scaled(v, to_metres == 1.0 ? 3 : 1); };
    auto litres = [&](float v) { return scaled(v, to_litres == 1000.0 ? 3 : -3); };
    // A pipe's length is written as the exact value of the float the programs compute, so that
    // an import finds it equal to the coordinate length and keeps every diameter to the bit.
    auto pipe_length = [&](float v) {
        return exact(to_metres == 1.0 ? double{v} : double{v} / 100.0);
    };

    const auto count = records.nodes.size();
    std::vector<bool> known_head(count + 1, false);
    std::vector<float> head(count + 1, 0.0f);
    for (const HeadRecord& h : records.heads) {
        known_head[static_cast<std::size_t>(h.node)] = true;
        head[static_cast<std::size_t>(h.node)] = h.head;
    }
    std::vector<float> discharge(count + 1, 0.0f);
    std::vector<bool> overridden_noted(count + 1, false);
    for (const DischargeRecord& d : records.discharges) {
        auto n = static_cast<std::size_t>(d.node);
        discharge[n] = d.discharge; // a later record for the node counts
        if (known_head[n] && !overridden_noted[n]) {
            overridden_noted[n] = true;
            diagnostics.push_back(
                diagnostic(Message::export_discharge_overridden, 0, {std::to_string(d.node)}));
        }
    }

    text += "[TITLE]\n";
    if (laminar) {
        double rho_g_over_mu_si =
            double{records.rho_g_over_mu} * (lamnet_length == LengthUnit::centimetre ? 100.0 : 1.0);
        double viscosity = standard_gravity / rho_g_over_mu_si;
        text += "lamnet network as laminar Darcy-Weisbach pipes (f = 64/Re below Re 2000, "
                "which does not use the roughness)\n";
        text += std::string("lamnet lengths taken in ") +
                (lamnet_length == LengthUnit::centimetre ? "cm" : "m") +
                " and time in s; kinematic viscosity g/(rho*g/mu) = " + exact(viscosity) +
                " m2/s with g = 9.80665 m/s2\n";
    } else {
        text += "turbnet network: Hazen-Williams pipes, SI units, flows in L/s\n";
    }

    text += "\n[JUNCTIONS]\n;ID\tElevation\tDemand\n";
    for (std::size_t n = 1; n <= count; ++n) {
        if (known_head[n]) continue;
        // A known discharge is supplied to the network; a demand is drawn off.
        std::string demand = discharge[n] == 0.0f ? "0" : litres(-discharge[n]);
        text += " " + std::to_string(n) + "\t0\t" + demand + "\n";
    }
    text += "\n[RESERVOIRS]\n;ID\tHead\n";
    for (std::size_t n = 1; n <= count; ++n)
        if (known_head[n]) text += " " + std::to_string(n) + "\t" + metres(head[n]) + "\n";

    text += "\n[PIPES]\n;ID\tNode1\tNode2\tLength\tDiameter\tRoughness\tMinorLoss\tStatus\n";
    for (const ElementRecord& e : records.elements) {
        float length = length_between(records, e.start_node, e.end_node);
        text += " " + std::to_string(e.element) + "\t" + std::to_string(e.start_node) + "\t" +
                std::to_string(e.end_node) + "\t" + pipe_length(length) + "\t" +
                millimetres(e.diameter) + "\t" +
                (laminar ? std::string(laminar_roughness) : scaled(records.relative_roughness, 0)) +
                "\t0\tOpen\n";
    }

    text += "\n[COORDINATES]\n;Node\tX-Coord\tY-Coord\n";
    for (const NodeRecord& r : records.nodes)
        text += " " + std::to_string(r.node) + "\t" + metres(r.x) + "\t" + metres(r.y) + "\n";

    text += "\n[OPTIONS]\n Units\tLPS\n";
    if (laminar) {
        double rho_g_over_mu_si =
            double{records.rho_g_over_mu} * (lamnet_length == LengthUnit::centimetre ? 100.0 : 1.0);
        text += " Headloss\tD-W\n Viscosity\t" +
                exact(standard_gravity / rho_g_over_mu_si / reference_viscosity) + "\n";
    } else {
        text += " Headloss\tH-W\n";
    }
    // Without it the field's solvers print no node or link results.
    text += "\n[REPORT]\n Status\tNo\n Summary\tNo\n Nodes\tAll\n Links\tAll\n";
    text += "\n[END]\n";
    return true;
}

bool export_input_text(std::string_view input, Program program, LengthUnit lamnet_length,
                       std::string& inp, std::vector<Diagnostic>& diagnostics) {
    inp.clear();
    NetworkRecords records;
    std::string error;
    if (!read_network_records(input, program, records, error)) {
        diagnostics.push_back(diagnostic(Message::inp_error, 0, {error}));
        return false;
    }
    return export_network(records, lamnet_length, inp, diagnostics);
}

} // namespace pipenet::exchange
