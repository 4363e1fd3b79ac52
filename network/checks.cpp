#include "network/checks.hpp"

namespace pipenet {

namespace {

// The first pipe, in element order, with an end outside 1 ... node_count.
NumberFault first_pipe_end_fault(const Network& net) {
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        for (std::int32_t position = 1; position <= nodes_per_element; ++position) {
            std::int32_t node = net.connectivity(position, e);
            if (node < 1 || node > net.node_count) return {RecordKind::pipe_end, node, e};
        }
    }
    return {};
}

} // namespace

Capacities storage_capacities(const Network& net) {
    // Every node's values and every equation's share the node count's capacity.
    std::int32_t nodes = net.x.size();
    for (std::int32_t size :
         {net.y.size(), net.known_discharge.size(), net.prescribed_head.size(),
          net.nodal_discharge.size(), net.rhs.size(), net.band.leading_dimension()})
        nodes = size < nodes ? size : nodes;
    std::int32_t elements = net.connectivity.elements();
    for (std::int32_t size :
         {net.diameter.size(), net.pipe_coefficient.size(), net.member_discharge.size()})
        elements = size < elements ? size : elements;
    return {nodes, elements, net.boundary_nodes.capacity(), net.band.columns()};
}

Fault check_network(const Network& net, const Capacities& capacities) {
    if (net.node_count > capacities.nodes) return {FaultCode::too_many_nodes};
    if (net.element_count > capacities.elements) return {FaultCode::too_many_elements};
    if (net.known_head_count > capacities.boundary_nodes)
        return {FaultCode::too_many_boundary_nodes};
    if (net.half_band > capacities.half_band) return {FaultCode::half_band_exceeded};
    if (net.node_count <= 0) return {FaultCode::no_nodes};
    if (net.first_node_fault.kind != RecordKind::none)
        return {FaultCode::node_record_out_of_range, net.first_node_fault.number};
    if (net.first_element_fault.kind != RecordKind::none)
        return {FaultCode::element_record_out_of_range, net.first_element_fault.number};
    if (NumberFault pipe = first_pipe_end_fault(net); pipe.kind != RecordKind::none)
        return {FaultCode::pipe_end_out_of_range, pipe.number, pipe.element};
    if (net.first_discharge_fault.kind != RecordKind::none)
        return {FaultCode::discharge_record_out_of_range, net.first_discharge_fault.number};
    if (net.first_head_fault.kind != RecordKind::none)
        return {FaultCode::head_record_out_of_range, net.first_head_fault.number};
    return {};
}

} // namespace pipenet
