// Small model networks built in the tests, value by value.
#pragma once

#include <optional>
#include <string>

#include "model/network_model.hpp"

namespace pipenet::model {

inline void add_node(Model& m, std::string id, double demand,
                     std::optional<double> fixed_head = std::nullopt) {
    Node node;
    node.id = std::move(id);
    node.demand.value = demand;
    if (fixed_head) node.fixed_head = Read{*fixed_head, {}};
    m.nodes.push_back(node);
}

inline void add_link(Model& m, std::string id, int start, int end, double length, double diameter,
                     double roughness = 130.0) {
    Link link;
    link.id = std::move(id);
    link.start = start;
    link.end = end;
    link.length.value = length;
    link.diameter.value = diameter;
    link.roughness.value = roughness;
    link.record = {static_cast<std::int32_t>(m.links.size()) + 10, 1, 40};
    m.links.push_back(link);
}

} // namespace pipenet::model
