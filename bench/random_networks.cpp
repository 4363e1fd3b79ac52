// Passes of the double-precision analysis over many random networks: a random tree of 5 to 64
// junctions with loops added, one to a few reservoirs, lengths of 1 to 5,000 m, diameters of
// 0.01 to 1 m (log-uniform) and draws up to 0.2 m3/s. Prints how many cases took how many
// passes, and each case that was not solved within 20 passes with its highest head: a network
// whose heads run to millions of metres meets the limit of double precision before the flow
// tolerance (its heads carry about 1e-16 of their size), a plausible one should not.
//
//     random_networks CASES
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "analysis/analyse.hpp"

namespace {

using namespace pipenet;

model::Model random_network(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    model::Model m;
    const int n = 5 + static_cast<int>(rng() % 60);
    for (int i = 0; i < n; ++i) {
        model::Node node;
        node.id = std::to_string(i + 1);
        node.demand.value = -0.2 * std::pow(u(rng), 3);
        if (i == 0 || u(rng) < 0.03) node.fixed_head = model::Read{50.0 + 50.0 * u(rng), {}};
        m.nodes.push_back(node);
    }
    auto add = [&](int a, int b) {
        model::Link link;
        link.id = std::to_string(m.links.size() + 1);
        link.start = a;
        link.end = b;
        link.length.value = 1.0 + 5000.0 * u(rng) * u(rng);
        link.diameter.value = std::exp(std::log(0.01) + u(rng) * std::log(100.0));
        link.roughness.value = 120.0;
        m.links.push_back(link);
    };
    for (int i = 1; i < n; ++i) add(static_cast<int>(rng() % static_cast<unsigned>(i)), i);
    const int loops = static_cast<int>(rng() % static_cast<unsigned>(n / 2 + 1));
    for (int k = 0; k < loops; ++k) {
        const int a = static_cast<int>(rng() % static_cast<unsigned>(n));
        const int b = static_cast<int>(rng() % static_cast<unsigned>(n));
        if (a != b) add(a, b);
    }
    return m;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: random_networks CASES\n");
        return 2;
    }
    const long cases = std::atol(argv[1]);
    std::map<std::size_t, long> by_passes; // passes, in groups of five
    long failed = 0;
    long plausible_failed = 0;
    for (long c = 0; c < cases; ++c) {
        const model::Model m = random_network(static_cast<unsigned>(c));
        const analysis::Result r = analysis::analyse(m);
        const std::size_t passes = r.passes.size();
        ++by_passes[passes / 5 * 5];
        if (r.outcome == analysis::Outcome::solved && passes <= 20) continue;
        double highest = 0.0;
        for (double h : r.heads)
            if (std::isfinite(h)) highest = std::max(highest, std::abs(h));
        ++failed;
        const bool plausible = highest < 1.0e4 && r.outcome != analysis::Outcome::singular;
        if (plausible) ++plausible_failed;
        if (plausible || failed <= 5)
            std::printf("case %ld: outcome %d after %zu passes, highest head %.3g m\n", c,
                        static_cast<int>(r.outcome), passes, highest);
    }
    for (const auto& [passes, count] : by_passes)
        std::printf("%3zu-%3zu passes: %ld\n", passes, passes + 4, count);
    std::printf("%ld of %ld not solved within 20 passes; %ld of them with every head within "
                "1e4 m\n",
                failed, cases, plausible_failed);
    return plausible_failed == 0 ? 0 : 1;
}
