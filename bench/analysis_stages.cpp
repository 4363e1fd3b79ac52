// One double-precision analysis of a programs' input file, timed stage by stage on one thread:
// reading the text, building the model, and the analysis's own stages. Prints one JSON object.
//
//     analysis_stages FILE lamnet|turbnet
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "analysis/analyse.hpp"
#include "bench/thread_clock.hpp"
#include "model/read_records.hpp"

namespace {

using pipenet::bench::Clock;
using pipenet::bench::since;

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: analysis_stages FILE lamnet|turbnet\n");
        return 2;
    }
    auto start = Clock::now();
    std::ifstream file(argv[1], std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    const double read = since(start);
    start = Clock::now();
    pipenet::model::Model m;
    std::string error;
    const pipenet::Program program =
        std::strcmp(argv[2], "lamnet") == 0 ? pipenet::Program::lamnet : pipenet::Program::turbnet;
    if (!pipenet::model::read_model(text, program, argv[1], m, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 2;
    }
    const double build = since(start);
    start = Clock::now();
    const pipenet::analysis::Result r = pipenet::analysis::analyse(m, [] {
        pipenet::analysis::Settings settings;
        settings.timed = true;
        return settings;
    }());
    const double analysis = since(start);
    const pipenet::analysis::Timings& t = r.timings;
    std::printf("{\"nodes\": %zu, \"solved\": %s, \"passes\": %zu, \"max_imbalance\": %.3e, "
                "\"read\": %.4f, \"model\": %.4f, \"analysis\": %.4f, \"topology\": %.4f, "
                "\"ordering\": %.4f, \"factorize\": %.4f, \"factorizations\": %d, "
                "\"solve\": %.4f, \"solves\": %d, \"evaluate\": %.4f}\n",
                m.nodes.size(), r.outcome == pipenet::analysis::Outcome::solved ? "true" : "false",
                r.passes.size(), r.max_imbalance, read, build, analysis, t.topology, t.ordering,
                t.factorize, t.factorizations, t.solve, t.solves, t.evaluate);
    for (const pipenet::analysis::Pass& p : r.passes)
        std::fprintf(stderr, "pass %d: largest imbalance %.3e, head change %.3e, step %.4g\n",
                     p.pass, p.max_imbalance, p.max_head_change, p.step);
    return r.outcome == pipenet::analysis::Outcome::solved ? 0 : 1;
}
