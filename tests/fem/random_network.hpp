// Seeded generator of valid pipe networks within the capacities: a random spanning tree over
// the nodes (each node joined to one of the 19 before it, so the half-bandwidth stays within
// 20) plus random extra pipes, distinct node positions, 1-5 known heads and some nodal
// discharges. Every real is kept as the decimal text of its input field, so that a test can both
// write the input file and build the same network in memory.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "network/model.hpp"

namespace pipenet::testing {

struct GeneratedPipe {
    std::int32_t start;
    std::int32_t end;
    std::int64_t diameter; // in units of 1.0e-5 (F10.5)
};

struct GeneratedNetwork {
    std::int32_t nodes = 0;
    std::vector<std::int64_t> x, y;   // units of 0.01 (F10.2), per node
    std::vector<GeneratedPipe> pipes; // in element order
    std::vector<std::pair<std::int32_t, std::int64_t>> discharges; // node, units of 1.0e-4
    std::vector<std::pair<std::int32_t, std::int64_t>> heads;      // node, units of 1.0e-4
    std::int64_t rho_g_over_mu = 1;                                // whole number (F10.0)
    std::int32_t max_iterations = 50;
    std::int64_t tolerance = 10;         // units of 1.0e-7 (F10.7)
    std::int64_t relative_roughness = 0; // units of 1.0e-7 (F15.7)
};

struct GeneratorLimits {
    std::int32_t min_nodes = 2;
    std::int32_t max_nodes = pipenet::max_nodes;
    std::int32_t max_span = max_half_band - 1; // largest node-number difference of a pipe
    std::int64_t coordinate_range = 10000;     // coordinates in 0 ... range (units of 0.01)
    std::int64_t min_diameter = 10000;         // units of 1.0e-5
    std::int64_t max_diameter = 100000;
    std::int32_t min_heads = 1;
    std::int32_t max_heads = 5;
    std::int64_t head_range = 1000000;     // heads in -range ... range (units of 1.0e-4)
    std::int64_t discharge_range = 100000; // discharges in -range ... range (units of 1.0e-4)
    bool loops = true;                     // extra pipes beyond the spanning tree
    // Every node draws between a tenth of discharge_range and discharge_range, instead of a random
    // subset of the nodes supplying or drawing.
    bool draw_everywhere = false;
};

// The decimal text of value * 10^-decimals.
inline std::string decimal(std::int64_t value, int decimals) {
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const std::int64_t magnitude = value < 0 ? -value : value;
    char text[48];
    if (decimals == 0)
        std::snprintf(text, sizeof text, "%s%lld", value < 0 ? "-" : "",
                      static_cast<long long>(magnitude));
    else
        std::snprintf(text, sizeof text, "%s%lld.%0*lld", value < 0 ? "-" : "",
                      static_cast<long long>(magnitude / scale), decimals,
                      static_cast<long long>(magnitude % scale));
    return text;
}

// The float nearest value * 10^-decimals, as the record reader converts the field.
inline float nearest_float(std::int64_t value, int decimals) {
    const std::string text = decimal(value, decimals);
    float f = 0.0f;
    std::from_chars(text.data(), text.data() + text.size(), f);
    return f;
}

inline GeneratedNetwork generate_network(std::uint32_t seed, const GeneratorLimits& limits = {}) {
    std::mt19937 rng(seed);
    auto uniform = [&rng](std::int64_t lo, std::int64_t hi) {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
    };
    GeneratedNetwork g;
    g.nodes = static_cast<std::int32_t>(uniform(limits.min_nodes, limits.max_nodes));

    std::set<std::pair<std::int64_t, std::int64_t>> taken;
    for (std::int32_t n = 1; n <= g.nodes; ++n) {
        std::pair<std::int64_t, std::int64_t> p;
        do {
            p = {uniform(0, limits.coordinate_range), uniform(0, limits.coordinate_range)};
        } while (!taken.insert(p).second);
        g.x.push_back(p.first);
        g.y.push_back(p.second);
    }

    auto add_pipe = [&](std::int32_t a, std::int32_t b) {
        if (uniform(0, 1) == 1) std::swap(a, b);
        g.pipes.push_back({a, b, uniform(limits.min_diameter, limits.max_diameter)});
    };
    for (std::int32_t n = 2; n <= g.nodes; ++n) {
        const std::int32_t lowest = n - limits.max_span > 1 ? n - limits.max_span : 1;
        add_pipe(static_cast<std::int32_t>(uniform(lowest, n - 1)), n);
    }
    const auto room =
        static_cast<std::int64_t>(max_elements) - static_cast<std::int64_t>(g.pipes.size());
    const std::int64_t extra =
        limits.loops && g.nodes > 2 ? uniform(0, room < g.nodes ? room : g.nodes) : 0;
    for (std::int64_t k = 0; k < extra; ++k) {
        const auto a = static_cast<std::int32_t>(uniform(1, g.nodes - 1));
        const std::int32_t highest = a + limits.max_span < g.nodes ? a + limits.max_span : g.nodes;
        add_pipe(a, static_cast<std::int32_t>(uniform(a + 1, highest)));
    }
    // Shuffle the element order so that pipes come in no particular order.
    std::shuffle(g.pipes.begin(), g.pipes.end(), rng);

    std::vector<std::int32_t> order(static_cast<std::size_t>(g.nodes));
    for (std::int32_t n = 1; n <= g.nodes; ++n) order[static_cast<std::size_t>(n - 1)] = n;
    std::shuffle(order.begin(), order.end(), rng);
    const std::int64_t head_count =
        uniform(limits.min_heads, limits.max_heads < g.nodes ? limits.max_heads : g.nodes);
    for (std::int64_t i = 0; i < head_count; ++i)
        g.heads.push_back(
            {order[static_cast<std::size_t>(i)], uniform(-limits.head_range, limits.head_range)});
    std::shuffle(order.begin(), order.end(), rng);
    const std::int64_t discharge_count = limits.draw_everywhere ? g.nodes : uniform(0, g.nodes);
    for (std::int64_t i = 0; i < discharge_count; ++i)
        g.discharges.push_back({order[static_cast<std::size_t>(i)],
                                limits.draw_everywhere
                                    ? -uniform(limits.discharge_range / 10, limits.discharge_range)
                                    : uniform(-limits.discharge_range, limits.discharge_range)});

    g.rho_g_over_mu = uniform(100000, 10000000);
    g.relative_roughness = uniform(800000000, 1500000000); // 80 ... 150
    return g;
}

// The network as the reader would store it.
inline void fill_network(const GeneratedNetwork& g, Network& net) {
    net.node_count = g.nodes;
    net.equation_count = g.nodes;
    net.element_count = static_cast<std::int32_t>(g.pipes.size());
    net.known_discharge_count = static_cast<std::int32_t>(g.discharges.size());
    net.known_head_count = static_cast<std::int32_t>(g.heads.size());
    net.rho_g_over_mu = nearest_float(g.rho_g_over_mu, 0);
    net.relative_roughness = nearest_float(g.relative_roughness, 7);
    net.max_iterations = g.max_iterations;
    net.tolerance = nearest_float(g.tolerance, 7);
    for (std::int32_t n = 1; n <= g.nodes; ++n) {
        net.x(n) = nearest_float(g.x[static_cast<std::size_t>(n - 1)], 2);
        net.y(n) = nearest_float(g.y[static_cast<std::size_t>(n - 1)], 2);
    }
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        const GeneratedPipe& p = g.pipes[static_cast<std::size_t>(e - 1)];
        net.connectivity(1, e) = p.start;
        net.connectivity(2, e) = p.end;
        net.diameter(e) = nearest_float(p.diameter, 5);
    }
    for (std::int32_t n = 1; n <= g.nodes; ++n) net.known_discharge(n) = 0.0f;
    for (const auto& [node, q] : g.discharges) net.known_discharge(node) = nearest_float(q, 4);
    for (std::int32_t i = 1; i <= net.known_head_count; ++i) {
        const auto& [node, h] = g.heads[static_cast<std::size_t>(i - 1)];
        net.prescribed_head(node) = nearest_float(h, 4);
        net.boundary_nodes.node(i) = node;
        net.boundary_nodes.flag(i) = 0;
    }
}

// The input file of either program: header, node, element, known-discharge and known-head
// records in their fixed columns.
inline std::string input_file(const GeneratedNetwork& g, bool turbulent) {
    std::string text;
    char line[128];
    auto field = [](const std::string& s, int width) {
        std::string padded(static_cast<std::size_t>(width) - s.size(), ' ');
        padded.append(s);
        return padded;
    };
    if (turbulent) {
        std::snprintf(line, sizeof line, "%10d%10zu%10zu%10zu%10d", g.nodes, g.pipes.size(),
                      g.discharges.size(), g.heads.size(), g.max_iterations);
        text += line;
        text += field(decimal(g.tolerance, 7), 10);
        text += field(decimal(g.relative_roughness, 7), 15);
        text += "\n";
    } else {
        std::snprintf(line, sizeof line, "%10d%10zu%10zu%10zu", g.nodes, g.pipes.size(),
                      g.discharges.size(), g.heads.size());
        text += line;
        text += field(decimal(g.rho_g_over_mu, 0).append("."), 10);
        text += "\n";
    }
    for (std::int32_t n = 1; n <= g.nodes; ++n)
        text += field(std::to_string(n), 10) +
                field(decimal(g.x[static_cast<std::size_t>(n - 1)], 2), 10) +
                field(decimal(g.y[static_cast<std::size_t>(n - 1)], 2), 10) + "\n";
    for (std::size_t e = 0; e < g.pipes.size(); ++e)
        text += field(std::to_string(e + 1), 10) + field(std::to_string(g.pipes[e].start), 10) +
                field(std::to_string(g.pipes[e].end), 10) +
                field(decimal(g.pipes[e].diameter, 5), 10) + "\n";
    for (const auto& [node, q] : g.discharges)
        text += field(std::to_string(node), 10) + field(decimal(q, 4), 12) + "\n";
    for (const auto& [node, h] : g.heads)
        text += field(std::to_string(node), 10) + field(decimal(h, 4), 10) + "\n";
    return text;
}

} // namespace pipenet::testing
