// One banded solve of the full-capacity system, run under callgrind to count the solver's
// multiply-adds; prints the first solution entries so the work cannot be optimised away.
#include <cstdio>

#include "bench_network.hpp"
#include "fem/network_kernels.hpp"
#include "network/floating_groups.hpp"

int main() {
    static pipenet::FixedNetwork net;
    pipenet::bench::build_full_system(net);
    const std::int32_t singular_row = pipenet::solve_banded(
        net, net.rhs, pipenet::lamnet_pivot_threshold, pipenet::first_floating_row(net));
    std::printf("singular row %d, h(1) %.6g, h(100) %.6g\n", singular_row, double{net.rhs(1)},
                double{net.rhs(100)});
    return singular_row == 0 ? 0 : 1;
}
