// The band pattern worked out from the pipes: exact on a hand case, a cover of every entry the
// assembly, the known heads and the elimination make nonzero on random networks of bands wider
// than one word, and the check for the values that stop the zero skip.
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "fem/band_pattern.hpp"
#include "network/sized_network.hpp"

namespace pipenet {
namespace {

struct PipeEnds {
    std::int32_t start;
    std::int32_t end;
};

// Reads and sizes a network of `nodes` nodes, the pipes and known heads given, as an analysis
// would once the network has passed its checks.
void build(SizedNetwork& sized, std::int32_t nodes, const std::vector<PipeEnds>& pipes,
           const std::vector<std::int32_t>& known) {
    sized.size_records(nodes, static_cast<std::int32_t>(pipes.size()),
                       static_cast<std::int32_t>(known.size()));
    Network& net = sized.net;
    net.node_count = nodes;
    net.equation_count = nodes;
    net.element_count = static_cast<std::int32_t>(pipes.size());
    net.known_head_count = static_cast<std::int32_t>(known.size());
    std::int32_t widest = 0;
    for (std::int32_t e = 1; e <= net.element_count; ++e) {
        const PipeEnds& p = pipes[static_cast<std::size_t>(e - 1)];
        net.connectivity(1, e) = p.start;
        net.connectivity(2, e) = p.end;
        widest = std::max(widest, std::abs(p.start - p.end));
    }
    for (std::int32_t i = 1; i <= net.known_head_count; ++i) {
        net.boundary_nodes.node(i) = known[static_cast<std::size_t>(i - 1)];
        net.boundary_nodes.flag(i) = 0;
    }
    net.half_band = widest + 1;
    sized.size_band();
}

std::uint64_t row_bits(std::span<const std::uint64_t> bits, const Network& net, std::int32_t i) {
    return pattern_row(bits, net.pattern.words_per_row, i)[0];
}

bool marked(std::span<const std::uint64_t> bits, const Network& net, std::int32_t i,
            std::int32_t m) {
    const std::uint64_t* row = pattern_row(bits, net.pattern.words_per_row, i);
    return ((row[(m - 1) / 64] >> ((m - 1) % 64)) & 1u) != 0;
}

// Pipes 1-2, 1-3 and 2-4, node 4 known (half-bandwidth 3). As assembled, row 1 holds K(1,1),
// K(1,2), K(1,3); row 2 K(2,2), K(2,4). The known head clears K(2,4); eliminating row 1 fills
// in K(2,3).
TEST(BandPattern, HandCaseByRowColumnKnownHeadAndFill) {
    SizedNetwork sized;
    build(sized, 4, {{1, 2}, {3, 1}, {2, 4}}, {4});
    Network& net = sized.net;
    find_band_pattern(net);
    const auto& p = net.pattern;
    EXPECT_EQ(net.pattern.words_per_row, 1);
    const std::array<std::uint64_t, 4> assembled{0b111, 0b101, 0b001, 0b001};
    const std::array<std::uint64_t, 4> columns{0b001, 0b011, 0b101, 0b101};
    const std::array<std::uint64_t, 4> imposed{0b111, 0b001, 0b001, 0b001};
    const std::array<std::uint64_t, 4> factor{0b111, 0b011, 0b001, 0b001};
    for (std::int32_t i = 1; i <= 4; ++i) {
        const auto at = static_cast<std::size_t>(i - 1);
        EXPECT_EQ(row_bits(p.assembled, net, i), assembled[at]) << "assembled row " << i;
        EXPECT_EQ(row_bits(p.assembled_columns, net, i), columns[at]) << "column " << i;
        EXPECT_EQ(row_bits(p.imposed, net, i), imposed[at]) << "imposed row " << i;
        EXPECT_EQ(row_bits(p.factor, net, i), factor[at]) << "factor row " << i;
    }
}

// Random networks, some with bands wider than one 64-bit word: unit conductances and a unit leak
// at every node assembled and the known heads imposed by hand, then a plain elimination. Every
// entry that is not +0 after each stage must be marked in the pattern of that stage.
TEST(BandPattern, CoversEveryNonzeroEntryOfRandomNetworks) {
    std::mt19937 random(17);
    for (int trial = 0; trial < 300; ++trial) {
        const auto nodes = static_cast<std::int32_t>(random() % 200 + 1);
        const auto pipe_count = static_cast<std::int32_t>(random() % (2 * nodes) + 1);
        const std::int32_t reach = trial % 3 == 0 ? nodes : 8; // sometimes wider than 64
        std::vector<PipeEnds> pipes;
        for (std::int32_t e = 0; e < pipe_count; ++e) {
            const auto a = static_cast<std::int32_t>(random() % static_cast<unsigned>(nodes) + 1);
            const auto offset = static_cast<std::int32_t>(random() % static_cast<unsigned>(reach));
            pipes.push_back({a, std::min(nodes, a + offset)});
        }
        std::vector<std::int32_t> known;
        for (std::int32_t i = 0; i < nodes / 10 + 1; ++i)
            known.push_back(static_cast<std::int32_t>(random() % static_cast<unsigned>(nodes) + 1));
        SizedNetwork sized;
        build(sized, nodes, pipes, known);
        Network& net = sized.net;
        find_band_pattern(net);
        const std::int32_t n = nodes;
        const std::int32_t b = net.half_band;
        BandView band = net.band;
        auto check_stage = [&](std::span<const std::uint64_t> bits, const char* stage) {
            for (std::int32_t i = 1; i <= n; ++i)
                for (std::int32_t m = 1; m <= b && i + m - 1 <= n; ++m)
                    if (std::bit_cast<std::uint32_t>(band(i, m)) != 0) {
                        ASSERT_TRUE(marked(bits, net, i, m))
                            << stage << ", trial " << trial << ", band(" << i << ", " << m << ")";
                    }
        };
        // A unit leak at every node keeps every pivot of the elimination positive.
        for (std::int32_t i = 1; i <= n; ++i) band(i, 1) = 1.0f;
        for (const PipeEnds& pipe : pipes) {
            const std::int32_t low = std::min(pipe.start, pipe.end);
            const std::int32_t high = std::max(pipe.start, pipe.end);
            band(low, 1) += 1.0f;
            band(high, 1) += 1.0f;
            if (low != high) band(low, high - low + 1) -= 1.0f;
        }
        check_stage(net.pattern.assembled, "assembled");
        for (std::int32_t j = 1; j <= n; ++j)
            for (std::int32_t m = 1; m <= b && j - m + 1 >= 1; ++m)
                if (band(j - m + 1, m) != 0.0f) {
                    ASSERT_TRUE(marked(net.pattern.assembled_columns, net, j, m))
                        << "columns, trial " << trial;
                }
        for (std::int32_t q : known) {
            for (std::int32_t m = 2; m <= b; ++m) {
                if (q + m - 1 <= n) band(q, m) = 0.0f;
                if (q - m + 1 >= 1) band(q - m + 1, m) = 0.0f;
            }
            band(q, 1) = 1.0f;
        }
        check_stage(net.pattern.imposed, "imposed");
        for (std::int32_t k = 1; k < n; ++k) {
            const std::int32_t last = std::min(k + b - 1, n);
            for (std::int32_t i = k + 1; i <= last; ++i) {
                const float f = band(k, i - k + 1) / band(k, 1);
                for (std::int32_t j = i; j <= last; ++j)
                    band(i, j - i + 1) -= f * band(k, j - k + 1);
            }
        }
        check_stage(net.pattern.factor, "factor");
    }
}

TEST(BandPattern, FindsNegativeZerosAndNaNsInsideTheSystemOnly) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::array<float, 8> pool = {0.0f, 0.0f, 0.0f, 0.0f, 1.5f, -2.0f, -0.0f, nan};
    std::mt19937 random(7);
    static FixedNetwork net;
    for (int trial = 0; trial < 3000; ++trial) {
        net.clear();
        // Every size from 1 to the full band, so that columns shorter than a block of eight
        // and columns that end part-way through one are both met.
        const auto n = static_cast<std::int32_t>(trial % band_rows + 1);
        const auto b = static_cast<std::int32_t>(random() % max_half_band + 1);
        const bool specials = trial % 3 == 0;
        bool has_special = false;
        for (std::int32_t i = 1; i <= band_rows; ++i)
            for (std::int32_t m = 1; m <= max_half_band; ++m) {
                float v = pool[random() % (specials ? pool.size() : pool.size() - 2)];
                net.band(i, m) = v;
                if (m <= b && i + m - 1 <= n &&
                    (std::bit_cast<std::uint32_t>(v) == 0x80000000u || v != v))
                    has_special = true;
            }
        ASSERT_EQ(band_has_unsafe_entry(net.band, n, b), has_special)
            << "trial " << trial << ", n " << n << ", b " << b;
    }
}

} // namespace
} // namespace pipenet
