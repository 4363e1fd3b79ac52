#include "network/checks.hpp"

#include "report/layouts.hpp"

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

bool check_network(RecordIo& io, const Network& net) {
    if (net.node_count > max_nodes) {
        write_record(io, layouts::too_many_nodes);
    } else if (net.element_count > max_elements) {
        write_record(io, layouts::too_many_elements);
    } else if (net.known_head_count > max_boundary_nodes) {
        write_record(io, layouts::too_many_boundary_nodes);
    } else if (net.half_band > max_half_band) {
        write_record(io, layouts::half_band_exceeded);
    } else if (net.node_count <= 0) {
        write_record(io, layouts::no_nodes);
    } else if (net.first_node_fault.kind != RecordKind::none) {
        write_record(io, layouts::node_record_out_of_range, net.first_node_fault.number);
    } else if (net.first_element_fault.kind != RecordKind::none) {
        write_record(io, layouts::element_record_out_of_range, net.first_element_fault.number);
    } else if (NumberFault pipe = first_pipe_end_fault(net); pipe.kind != RecordKind::none) {
        write_record(io, layouts::pipe_end_out_of_range, pipe.element, pipe.number);
    } else if (net.first_discharge_fault.kind != RecordKind::none) {
        write_record(io, layouts::discharge_record_out_of_range, net.first_discharge_fault.number);
    } else if (net.first_head_fault.kind != RecordKind::none) {
        write_record(io, layouts::head_record_out_of_range, net.first_head_fault.number);
    } else {
        return true;
    }
    return false;
}

} // namespace pipenet
