// apply_prescribed_heads leaves out the subtractions of zero band entries; this check compares
// it bit for bit with the plain order of updates (every entry, m increasing, row part then
// column part) on random bands and loads rich in zeros of both signs, underflowing products,
// infinities and known heads of either sign.
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "fem/network_kernels.hpp"
#include "tests/fem/band_fixture.hpp"

namespace pipenet {
namespace {

void reference_apply(Network& net, EquationReals& load) {
    for (std::int32_t entry = 1; entry <= net.stored_boundary_count(); ++entry) {
        if (net.boundary_nodes.flag(entry) != 0) continue;
        std::int32_t q = net.boundary_nodes.node(entry);
        double v = net.prescribed_head(q);
        for (std::int32_t m = 2; m <= net.half_band; ++m) {
            if (q + m - 1 <= net.equation_count) {
                load(q + m - 1) =
                    static_cast<float>(double{load(q + m - 1)} - double{net.band(q, m)} * v);
                net.band(q, m) = 0.0f;
            }
            if (q - m + 1 >= 1) {
                load(q - m + 1) = static_cast<float>(double{load(q - m + 1)} -
                                                     double{net.band(q - m + 1, m)} * v);
                net.band(q - m + 1, m) = 0.0f;
            }
        }
        net.band(q, 1) = 1.0f;
        load(q) = static_cast<float>(v);
    }
}

TEST(PrescribedHeadsZeroSkip, MatchesThePlainOrderOfUpdates) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    // -1e-30 * 1e-30 subtracted from a zero load gives a negative zero load entry, after which
    // a zero band entry times a negative head must turn it into +0.
    const std::array<float, 9> entries = {0.0f,  0.0f,   0.0f,    -0.0f, 2.5f,
                                          -1.0f, 1e-30f, -1e-30f, 0.0f};
    const std::array<float, 8> loads = {0.0f, 0.0f, -0.0f, 1.0f, -3.25f, 1e-30f, 0.5f, 0.0f};
    const std::array<float, 6> heads = {40.0f, -2.0f, 1e-30f, -0.0f, 0.0f, -1e-30f};
    std::mt19937 random(11);
    static FixedNetwork net;
    static FixedNetwork reference;
    for (int trial = 0; trial < 600; ++trial) {
        net.clear();
        const auto n = static_cast<std::int32_t>(random() % 30 + 1);
        const auto b = static_cast<std::int32_t>(
            random() % static_cast<unsigned>(std::min(n, max_half_band)) + 1);
        net.equation_count = n;
        net.node_count = n;
        net.half_band = b;
        for (std::int32_t i = 1; i <= n; ++i)
            for (std::int32_t m = 1; m <= b && i + m - 1 <= n; ++m)
                net.band(i, m) = entries[random() % entries.size()];
        EquationReals load{};
        for (std::int32_t i = 1; i <= n; ++i) {
            load(i) = loads[random() % loads.size()];
            net.prescribed_head(i) = heads[random() % heads.size()];
        }
        if (trial % 20 == 3) net.prescribed_head(1) = inf;
        if (trial % 20 == 7) load(n) = inf;
        net.known_head_count = static_cast<std::int32_t>(random() % static_cast<unsigned>(n) + 1);
        for (std::int32_t entry = 1; entry <= net.known_head_count; ++entry) {
            net.boundary_nodes.node(entry) =
                static_cast<std::int32_t>(random() % static_cast<unsigned>(n) + 1);
            net.boundary_nodes.flag(entry) = random() % 4 == 0 ? 1 : 0;
        }
        mark_band_entries(net);
        reference = net;
        EquationReals expected = load;
        reference_apply(reference, expected);
        apply_prescribed_heads(net, load);
        for (std::int32_t i = 1; i <= n; ++i) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(load(i)),
                      std::bit_cast<std::uint32_t>(expected(i)))
                << "trial " << trial << ", load(" << i << ") " << load(i) << " vs " << expected(i);
            for (std::int32_t m = 1; m <= b && i + m - 1 <= n; ++m)
                ASSERT_EQ(std::bit_cast<std::uint32_t>(net.band(i, m)),
                          std::bit_cast<std::uint32_t>(reference.band(i, m)))
                    << "trial " << trial << ", band(" << i << ", " << m << ")";
        }
    }
}

} // namespace
} // namespace pipenet
