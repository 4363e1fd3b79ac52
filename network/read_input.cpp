#include "network/read_input.hpp"

#include "network/half_bandwidth.hpp"
#include "report/layouts.hpp"

namespace pipenet {

namespace {

void note_fault(NumberFault& fault, RecordKind kind, std::int32_t number, std::int32_t count) {
    if (fault.kind == RecordKind::none && (number < 1 || number > count)) {
        fault.kind = kind;
        fault.number = number;
    }
}

void read_header(RecordIo& io, Program program, Network& net) {
    if (program == Program::lamnet) {
        LayoutReader header(io, input_unit, layouts::lamnet_header);
        net.node_count = header.get_integer();
        net.element_count = header.get_integer();
        net.known_discharge_count = header.get_integer();
        net.known_head_count = header.get_integer();
        net.rho_g_over_mu = header.get_real();
        write_record(io, layouts::lamnet_input_data, net.node_count, net.element_count,
                     net.known_discharge_count, net.known_head_count, net.rho_g_over_mu);
    } else {
        LayoutReader header(io, input_unit, layouts::turbnet_header);
        net.node_count = header.get_integer();
        net.element_count = header.get_integer();
        net.known_discharge_count = header.get_integer();
        net.known_head_count = header.get_integer();
        net.max_iterations = header.get_integer();
        net.tolerance = header.get_real();
        net.relative_roughness = header.get_real();
        write_record(io, layouts::turbnet_input_data, net.node_count, net.element_count,
                     net.known_discharge_count, net.known_head_count, net.max_iterations,
                     net.tolerance, net.relative_roughness);
    }
}

// lamnet: each node record is echoed as soon as it is read, in file order.
void read_nodes_one_by_one(RecordIo& io, Network& net) {
    for (std::int32_t record = 1; record <= net.node_count; ++record) {
        LayoutReader reader(io, input_unit, layouts::node_record);
        std::int32_t n = reader.get_integer();
        float x = reader.get_real();
        float y = reader.get_real();
        store_node_record(net, n, x, y);
        write_record(io, layouts::node_line, n, x, y);
    }
}

// turbnet: the node records are read as one unit, then nodes 1 ... node_count are echoed as
// one unit; the unit always takes at least one record.
void read_nodes_as_group(RecordIo& io, Network& net) {
    {
        LayoutReader reader(io, input_unit, layouts::node_record);
        for (std::int32_t record = 1; record <= net.node_count; ++record) {
            std::int32_t n = reader.get_integer();
            float x = reader.get_real();
            float y = reader.get_real();
            store_node_record(net, n, x, y);
        }
    }
    LayoutWriter echo(io, layouts::node_line);
    for (std::int32_t n = 1; n <= net.node_count; ++n) {
        echo.put(n);
        echo.put(net.x.holds(n) ? net.x(n) : 0.0f);
        echo.put(net.x.holds(n) ? net.y(n) : 0.0f);
    }
    echo.finish();
}

void read_elements(RecordIo& io, Network& net) {
    write_record(io, layouts::element_heading);
    for (std::int32_t record = 1; record <= net.element_count; ++record) {
        LayoutReader reader(io, input_unit, layouts::element_record);
        std::int32_t e = reader.get_integer();
        std::int32_t start = reader.get_integer();
        std::int32_t end = reader.get_integer();
        float d = reader.get_real();
        store_element_record(net, e, start, end, d);
        write_record(io, layouts::element_line, e, start, end, d);
    }
}

void read_known_discharges(RecordIo& io, Network& net) {
    write_record(io, layouts::discharge_heading);
    for (std::int32_t record = 1; record <= net.known_discharge_count; ++record) {
        LayoutReader reader(io, input_unit, layouts::discharge_record);
        std::int32_t n = reader.get_integer();
        float q = reader.get_real();
        store_discharge_record(net, n, q);
        write_record(io, layouts::discharge_line, n, q);
    }
}

void read_known_heads(RecordIo& io, Network& net) {
    write_record(io, layouts::boundary_heading);
    for (std::int32_t i = 1; i <= net.known_head_count; ++i) {
        LayoutReader reader(io, input_unit, layouts::head_record);
        std::int32_t n = reader.get_integer();
        float head = reader.get_real();
        store_head_record(net, i, n, head);
        write_record(io, layouts::boundary_line, n, head);
    }
}

} // namespace

void store_node_record(Network& net, std::int32_t n, float x, float y) {
    note_fault(net.first_node_fault, RecordKind::node, n, net.node_count);
    if (net.x.holds(n)) {
        net.x(n) = x;
        net.y(n) = y;
    }
}

void store_element_record(Network& net, std::int32_t e, std::int32_t start, std::int32_t end,
                          float diameter) {
    note_fault(net.first_element_fault, RecordKind::element, e, net.element_count);
    if (net.connectivity.holds(e)) {
        net.connectivity(1, e) = start;
        net.connectivity(2, e) = end;
        net.diameter(e) = diameter;
    }
}

void finish_elements(Network& net) {
    net.equation_count = dofs_per_node * net.node_count;
    for (std::int32_t i = 1; i <= net.equation_count && net.known_discharge.holds(i); ++i)
        net.known_discharge(i) = 0.0f;
    net.half_band = half_bandwidth(net);
}

void store_discharge_record(Network& net, std::int32_t n, float discharge) {
    note_fault(net.first_discharge_fault, RecordKind::known_discharge, n, net.node_count);
    if (net.x.holds(n)) net.known_discharge(n) = discharge;
}

void store_head_record(Network& net, std::int32_t i, std::int32_t n, float head) {
    note_fault(net.first_head_fault, RecordKind::known_head, n, net.node_count);
    if (net.x.holds(n)) net.prescribed_head(n) = head;
    if (i <= net.boundary_nodes.capacity()) {
        net.boundary_nodes.node(i) = n;
        net.boundary_nodes.flag(i) = 0;
    }
}

void read_input(RecordIo& io, Program program, Network& net) {
    io.open_input(input_file_name(program));
    write_record(io, program == Program::lamnet ? layouts::lamnet_banner : layouts::turbnet_banner);
    read_header(io, program, net);
    if (program == Program::lamnet) {
        read_nodes_one_by_one(io, net);
    } else {
        read_nodes_as_group(io, net);
    }
    read_elements(io, net);
    finish_elements(net);
    write_record(io, layouts::half_band_line, net.half_band);
    read_known_discharges(io, net);
    read_known_heads(io, net);
}

} // namespace pipenet
