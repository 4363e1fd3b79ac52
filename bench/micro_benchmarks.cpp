// Micro-benchmarks of the routines that dominate a run: the banded solve, the assembly, one
// report line with three real fields, one input record, and the shortest text of a result
// (beside the standard library's).
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

#include "bench_network.hpp"
#include "fem/assemble.hpp"
#include "fem/laminar.hpp"
#include "fem/network_kernels.hpp"
#include "network/floating_groups.hpp"
#include "report/layouts.hpp"
#include "report/record_io.hpp"
#include "report/shortest_text.hpp"

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

// Results of arithmetic (all their digits), as the JSON of a network holds by the thousand.
template <class Real>
std::vector<Real> computed_values() {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> value(-500.0, 500.0);
    std::vector<Real> values(1024);
    for (Real& v : values) v = static_cast<Real>(value(random) / 7.0);
    return values;
}

template <class Real, bool library>
void shortest_text_of(benchmark::State& state) {
    const std::vector<Real> values = computed_values<Real>();
    char text[64];
    std::size_t i = 0, bytes = 0;
    for (auto _ : state) {
        const Real v = values[i++ % values.size()];
        const char* end = library ? std::to_chars(text, text + sizeof text, v).ptr
                                  : shortest_text(text, text + sizeof text, v);
        bytes += static_cast<std::size_t>(end - text);
        benchmark::DoNotOptimize(text);
    }
    if (bytes == 0) state.SkipWithError("nothing written");
}
BENCHMARK(shortest_text_of<double, false>)->Name("shortest_text_double");
BENCHMARK(shortest_text_of<double, true>)->Name("to_chars_double");
BENCHMARK(shortest_text_of<float, false>)->Name("shortest_text_float");
BENCHMARK(shortest_text_of<float, true>)->Name("to_chars_float");

} // namespace

BENCHMARK_MAIN();
