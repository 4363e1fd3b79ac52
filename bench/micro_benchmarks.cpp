// Micro-benchmarks of the routines that dominate a run: the banded solve, the assembly, one
// report line with three real fields and one input record.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string_view>

#include "bench_network.hpp"
#include "fem/assemble.hpp"
#include "fem/laminar.hpp"
#include "fem/network_kernels.hpp"
#include "network/floating_groups.hpp"
#include "report/layouts.hpp"
#include "report/record_io.hpp"

namespace {

using namespace pipenet;

// Takes the report and counts its bytes.
class CountingSink final : public ByteSink {
public:
    bool write(const char*, std::size_t size) override {
        bytes += size;
        return true;
    }
    std::size_t bytes = 0;
};

// The same record over and over, without end.
class RepeatingSource final : public ByteSource {
public:
    explicit RepeatingSource(std::string_view record) : record_(record) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) override {
        std::size_t n = 0;
        while (n + record_.size() <= size) {
            std::memcpy(buffer + n, record_.data(), record_.size());
            n += record_.size();
        }
        return static_cast<std::ptrdiff_t>(n);
    }

private:
    std::string_view record_;
};

FixedNetwork& network() {
    static FixedNetwork net;
    return net;
}

void solve_full_system(benchmark::State& state) {
    static FixedNetwork prepared;
    bench::build_full_system(prepared);
    FixedNetwork& net = network();
    const std::int32_t floating_row = first_floating_row(prepared);
    std::int32_t singular_row = 0;
    for (auto _ : state) {
        // The solve overwrites band and rhs: start every iteration from the assembled system.
        net = prepared;
        singular_row = solve_banded(net, net.rhs, lamnet_pivot_threshold, floating_row);
        benchmark::DoNotOptimize(net.rhs);
    }
    if (singular_row != 0) state.SkipWithError("singular system");
}
BENCHMARK(solve_full_system);

void assemble_full_network(benchmark::State& state) {
    FixedNetwork& net = network();
    bench::build_full_network(net);
    net.rho_g_over_mu = 9810000.0f;
    bool faulty = false;
    for (auto _ : state) {
        assemble_global(net, net.rhs, [&faulty](std::int32_t e, Network& n, Vec1<const float>) {
            faulty = laminar_element(e, n) != FaultCode::none || faulty;
        });
        benchmark::DoNotOptimize(net.band);
    }
    if (faulty) state.SkipWithError("faulty pipe");
}
BENCHMARK(assemble_full_network);

void report_line_three_reals(benchmark::State& state) {
    CountingSink sink;
    RepeatingSource console("\n");
    RecordIo io(sink, sink, console);
    std::int32_t row = 1;
    float head = 51.234567f;
    for (auto _ : state) {
        write_record(io, layouts::pass_row, row, head, -0.0123456f, 1234.5678f);
        head += 0.001f;
        row = row % 100 + 1;
    }
    io.flush_report();
    // Every line: I5 + 3 x F15.6 + line feed.
    if (sink.bytes != static_cast<std::size_t>(state.iterations()) * 51)
        state.SkipWithError("wrong line length");
}
BENCHMARK(report_line_three_reals);

void read_element_record(benchmark::State& state) {
    CountingSink sink;
    RepeatingSource console("\n");
    RepeatingSource input("        17        23        42   0.25000\n");
    RecordIo io(sink, sink, console);
    io.use_input_source(input);
    io.open_input("input-lin.dat");
    std::int64_t checksum = 0;
    for (auto _ : state) {
        LayoutReader reader(io, input_unit, layouts::element_record);
        checksum += reader.get_integer() + reader.get_integer() + reader.get_integer();
        benchmark::DoNotOptimize(reader.get_real());
    }
    if (checksum != state.iterations() * (17 + 23 + 42)) state.SkipWithError("wrong values");
}
BENCHMARK(read_element_record);

} // namespace

BENCHMARK_MAIN();
