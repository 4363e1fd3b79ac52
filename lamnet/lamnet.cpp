#include "lamnet/lamnet.hpp"

#include "fem/assemble.hpp"
#include "fem/nodal_balance.hpp"
#include "fem/prescribed_heads.hpp"
#include "fem/solve_banded.hpp"
#include "lamnet/laminar.hpp"
#include "network/checks.hpp"
#include "network/read_input.hpp"
#include "report/layouts.hpp"
#include "report/notices.hpp"
#include "report/print_results.hpp"

namespace pipenet {

namespace {

void analyse(RecordIo& io, Network& net) {
    // 1. Read and echo the network; 2. refuse what exceeds the storage or the counts.
    read_input(io, Program::lamnet, net);
    if (!check_network(io, net)) return;
    // The solve replaces the given discharges by the heads; the balance check needs them.
    const EquationReals given = net.rhs;

    // 3. Assemble the laminar pipes; every faulty pipe reports itself.
    assemble_global(net, net.rhs, [&io](std::int32_t e, Network& n, Vec1<const float>) {
        laminar_element(io, e, n);
    });
    if (net.half_band <= 0) {
        write_record(io, layouts::errors_prevent_analysis);
        return;
    }

    // 4. Impose the known heads and solve for the heads, which replace rhs.
    apply_prescribed_heads(net, net.rhs);
    solve_banded(io, net, net.rhs, lamnet_pivot_threshold, first_floating_row(net));
    if (net.half_band <= 0) {
        write_record(io, layouts::errors_prevent_analysis);
        return;
    }

    // 5. Discharges from the heads, and the results.
    laminar::member_discharges(net, net.rhs);
    print_results(io, net, net.rhs);

    // 6. A node far off its given discharge is worth a warning beside the report.
    const BalanceCheck balance = check_nodal_balance(net, given, nodal_discharge_resolution);
    if (balance.off())
        write_balance_notice(io, Notice::lamnet_balance_off, balance.node, balance.computed,
                             balance.given, balance.allowed);
}

} // namespace

int run_lamnet(RecordIo& io) {
    try {
        Network net{};
        analyse(io, net);
        io.flush_report();
        return 0;
    } catch (const RunEnded& ended) {
        return ended.status;
    }
}

} // namespace pipenet
