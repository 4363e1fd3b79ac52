#include "frontend/print_results.hpp"

#include "report/layouts.hpp"

namespace pipenet {

static_assert(layouts::nodal_discharge_line.flat_field(1).decimals == 4,
              "nodal_discharge_resolution is half the last decimal of the column");

void print_results(RecordIo& io, const Network& net, Vec1<const float> heads) {
    write_record(io, layouts::results_heading);
    for (std::int32_t n = 1; n <= net.node_count; ++n)
        write_record(io, layouts::head_line, n, heads(n));
    write_record(io, layouts::nodal_discharge_heading);
    for (std::int32_t n = 1; n <= net.node_count; ++n)
        write_record(io, layouts::nodal_discharge_line, n, net.nodal_discharge(n));
    write_record(io, layouts::member_discharge_heading);
    for (std::int32_t e = 1; e <= net.element_count; ++e)
        write_record(io, layouts::member_discharge_line, e, net.member_discharge(e));
    write_record(io, layouts::closing_line);
}

} // namespace pipenet
