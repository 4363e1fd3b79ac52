// One banded solve of the full-capacity system, run under callgrind to count the solver's
// multiply-adds; prints the first solution entries so the work cannot be optimised away.
#include <cstdio>
#include <unistd.h>

#include "bench_network.hpp"
#include "fem/solve_banded.hpp"

int main() {
    static pipenet::Network net;
    pipenet::bench::build_full_system(net);
    pipenet::FdSink out(STDOUT_FILENO);
    pipenet::FdSink err(STDERR_FILENO);
    pipenet::FdSource in(STDIN_FILENO);
    static pipenet::RecordIo io(out, err, in);
    pipenet::solve_banded(io, net, net.rhs, pipenet::lamnet_pivot_threshold,
                          pipenet::first_floating_row(net));
    io.flush_report();
    std::printf("half_band %d, h(1) %.6g, h(100) %.6g\n", net.half_band, double{net.rhs(1)},
                double{net.rhs(100)});
    return net.half_band == pipenet::max_half_band ? 0 : 1;
}
