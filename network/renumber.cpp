#include "network/renumber.hpp"

#include <algorithm>
#include <numeric>
#include <utility>

#include "network/half_bandwidth.hpp"

namespace pipenet {

namespace {

// Neighbours of every node, 0-based, without self loops or repeats.
struct Adjacency {
    std::vector<std::size_t> first; // neighbours of n: links[first[n] .. first[n + 1])
    std::vector<std::int32_t> links;

    std::size_t degree(std::int32_t n) const {
        return first[static_cast<std::size_t>(n) + 1] - first[static_cast<std::size_t>(n)];
    }
    std::span<const std::int32_t> of(std::int32_t n) const {
        return std::span<const std::int32_t>(links).subspan(first[static_cast<std::size_t>(n)],
                                                            degree(n));
    }
};

Adjacency build_adjacency(std::int32_t node_count, std::span<const std::int32_t> ends) {
    const auto count = static_cast<std::size_t>(node_count);
    std::vector<std::vector<std::int32_t>> lists(count);
    for (std::size_t e = 0; e + nodes_per_element <= ends.size(); e += nodes_per_element) {
        std::int32_t a = ends[e] - 1;
        std::int32_t b = ends[e + 1] - 1;
        if (a == b) continue;
        lists[static_cast<std::size_t>(a)].push_back(b);
        lists[static_cast<std::size_t>(b)].push_back(a);
    }
    Adjacency adjacency;
    adjacency.first.assign(count + 1, 0);
    for (std::size_t n = 0; n < count; ++n) {
        std::sort(lists[n].begin(), lists[n].end());
        lists[n].erase(std::unique(lists[n].begin(), lists[n].end()), lists[n].end());
        adjacency.first[n + 1] = adjacency.first[n] + lists[n].size();
    }
    adjacency.links.reserve(adjacency.first[count]);
    for (const auto& list : lists)
        adjacency.links.insert(adjacency.links.end(), list.begin(), list.end());
    return adjacency;
}

// Breadth-first levels from `start` within its group: the nodes in visiting order, the number
// of levels less one, and where the last level begins in the order. `level` is -1 for every node
// before and after the walk.
struct LevelWalk {
    std::vector<std::int32_t> order;
    std::int32_t depth = 0;
    std::size_t last_level_begin = 0;
};

LevelWalk walk_levels(const Adjacency& adjacency, std::int32_t start,
                      std::vector<std::int32_t>& level) {
    LevelWalk walk;
    walk.order.push_back(start);
    level[static_cast<std::size_t>(start)] = 0;
    for (std::size_t i = 0; i < walk.order.size(); ++i) {
        std::int32_t n = walk.order[i];
        for (std::int32_t m : adjacency.of(n)) {
            if (level[static_cast<std::size_t>(m)] >= 0) continue;
            level[static_cast<std::size_t>(m)] = level[static_cast<std::size_t>(n)] + 1;
            if (level[static_cast<std::size_t>(m)] > walk.depth) {
                walk.depth = level[static_cast<std::size_t>(m)];
                walk.last_level_begin = walk.order.size();
            }
            walk.order.push_back(m);
        }
    }
    for (std::int32_t n : walk.order) level[static_cast<std::size_t>(n)] = -1;
    return walk;
}

// A node at the far end of the group from `start`: the last level's node of least degree, taken
// as the next start while the depth grows.
std::int32_t pseudo_peripheral(const Adjacency& adjacency, std::int32_t start,
                               std::vector<std::int32_t>& level) {
    LevelWalk walk = walk_levels(adjacency, start, level);
    for (;;) {
        std::int32_t best = walk.order[walk.last_level_begin];
        for (std::size_t i = walk.last_level_begin; i < walk.order.size(); ++i)
            if (adjacency.degree(walk.order[i]) < adjacency.degree(best)) best = walk.order[i];
        LevelWalk next = walk_levels(adjacency, best, level);
        if (next.depth <= walk.depth) return start;
        start = best;
        walk = std::move(next);
    }
}

// The reverse Cuthill-McKee order of the group from `start`: neighbours taken by increasing
// degree, the whole order then reversed.
std::vector<std::int32_t> reverse_cuthill_mckee(const Adjacency& adjacency, std::int32_t start,
                                                std::vector<std::int32_t>& mark) {
    std::vector<std::int32_t> order{start};
    mark[static_cast<std::size_t>(start)] = 1;
    std::vector<std::int32_t> fresh;
    for (std::size_t i = 0; i < order.size(); ++i) {
        fresh.clear();
        for (std::int32_t m : adjacency.of(order[i])) {
            if (mark[static_cast<std::size_t>(m)] != 0) continue;
            mark[static_cast<std::size_t>(m)] = 1;
            fresh.push_back(m);
        }
        std::stable_sort(fresh.begin(), fresh.end(), [&](std::int32_t a, std::int32_t b) {
            return adjacency.degree(a) < adjacency.degree(b);
        });
        order.insert(order.end(), fresh.begin(), fresh.end());
    }
    for (std::int32_t n : order) mark[static_cast<std::size_t>(n)] = 0;
    std::reverse(order.begin(), order.end());
    return order;
}

// The widest pipe of a group in the given order, in positions: the half-bandwidth less one.
std::int64_t widest_in_order(const Adjacency& adjacency, std::span<const std::int32_t> order,
                             std::vector<std::int32_t>& position) {
    for (std::size_t i = 0; i < order.size(); ++i)
        position[static_cast<std::size_t>(order[i])] = static_cast<std::int32_t>(i);
    std::int64_t widest = 0;
    for (std::int32_t n : order)
        for (std::int32_t m : adjacency.of(n))
            widest =
                std::max<std::int64_t>(widest, std::int64_t{position[static_cast<std::size_t>(n)]} -
                                                   position[static_cast<std::size_t>(m)]);
    return widest;
}

// Groups up to this size try every node as a start; larger ones a few chosen starts.
constexpr std::size_t try_every_start_below = 400;

} // namespace

Renumbering renumber_nodes(std::int32_t node_count, std::span<const std::int32_t> element_ends) {
    Renumbering result;
    const auto count = static_cast<std::size_t>(node_count < 0 ? 0 : node_count);
    result.new_number.resize(count + 1);
    std::iota(result.new_number.begin(), result.new_number.end(), 0);
    result.half_band_before = half_band_of(element_ends);
    result.half_band_after = result.half_band_before;
    if (count == 0) return result;

    Adjacency adjacency = build_adjacency(static_cast<std::int32_t>(count), element_ends);
    std::vector<std::int32_t> level(count, -1);
    std::vector<std::int32_t> mark(count, 0);
    std::vector<std::int32_t> position(count, 0);
    std::vector<bool> placed(count, false);
    std::vector<std::int32_t> numbering; // old node (0-based) in new order
    numbering.reserve(count);

    for (std::size_t seed = 0; seed < count; ++seed) {
        if (placed[seed]) continue;
        LevelWalk group = walk_levels(adjacency, static_cast<std::int32_t>(seed), level);
        std::vector<std::int32_t> starts;
        if (group.order.size() <= try_every_start_below) {
            starts = group.order;
        } else {
            std::int32_t least = group.order.front();
            for (std::int32_t n : group.order)
                if (adjacency.degree(n) < adjacency.degree(least)) least = n;
            starts = {pseudo_peripheral(adjacency, least, level),
                      pseudo_peripheral(adjacency, group.order.front(), level),
                      pseudo_peripheral(adjacency, group.order.back(), level), least};
        }
        std::vector<std::int32_t> best;
        std::int64_t best_width = 0;
        for (std::int32_t start : starts) {
            std::vector<std::int32_t> order = reverse_cuthill_mckee(adjacency, start, mark);
            std::int64_t width = widest_in_order(adjacency, order, position);
            if (best.empty() || width < best_width) {
                best = std::move(order);
                best_width = width;
            }
        }
        for (std::int32_t n : best) placed[static_cast<std::size_t>(n)] = true;
        numbering.insert(numbering.end(), best.begin(), best.end());
    }

    std::vector<std::int32_t> candidate(count + 1, 0);
    for (std::size_t i = 0; i < numbering.size(); ++i)
        candidate[static_cast<std::size_t>(numbering[i]) + 1] = static_cast<std::int32_t>(i + 1);
    std::vector<std::int32_t> renumbered(element_ends.begin(), element_ends.end());
    for (std::int32_t& n : renumbered) n = candidate[static_cast<std::size_t>(n)];
    std::int32_t after = half_band_of(renumbered);
    if (after < result.half_band_before) {
        result.new_number = std::move(candidate);
        result.half_band_after = after;
    }
    return result;
}

void apply_renumbering(NetworkRecords& records, const Renumbering& renumbering) {
    auto renumber = [&](std::int32_t& n) {
        n = renumbering.new_number[static_cast<std::size_t>(n)];
    };
    for (NodeRecord& r : records.nodes) renumber(r.node);
    for (ElementRecord& e : records.elements) {
        renumber(e.start_node);
        renumber(e.end_node);
    }
    for (DischargeRecord& d : records.discharges) renumber(d.node);
    for (HeadRecord& h : records.heads) renumber(h.node);
    std::stable_sort(records.nodes.begin(), records.nodes.end(),
                     [](const NodeRecord& a, const NodeRecord& b) { return a.node < b.node; });
}

bool renumber_input(std::string_view text, Program program, RenumberedInput& result,
                    std::string& error) {
    result = RenumberedInput{};
    NetworkRecords records;
    if (!read_network_records(text, program, records, error) || !check_node_numbers(records, error))
        return false;
    Renumbering renumbering =
        renumber_nodes(static_cast<std::int32_t>(records.nodes.size()), element_ends(records));
    apply_renumbering(records, renumbering);
    if (!write_network_records(records, result.text, error)) return false;
    result.map_csv = "old,new\n";
    for (std::size_t old = 1; old < renumbering.new_number.size(); ++old)
        result.map_csv +=
            std::to_string(old) + "," + std::to_string(renumbering.new_number[old]) + "\n";
    result.half_band_before = renumbering.half_band_before;
    result.half_band_after = renumbering.half_band_after;
    result.records = std::move(records);
    return true;
}

} // namespace pipenet
