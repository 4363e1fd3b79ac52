#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "fem/assemble.hpp"
#include "tests/fem/band_fixture.hpp"

namespace pipenet {
namespace {

struct Pipe {
    std::int32_t start;
    std::int32_t end;
    float conductance;
};

// A network of the given pipes whose element routine hands out each pipe's conductance as the
// matrix (c, -c, -c, c); the band is filled with a sentinel first, so that every entry the
// assembly neither clears nor adds to can be seen.
struct Assembly {
    static constexpr float sentinel = 7.25f;

    FixedNetwork net{};
    std::vector<float> conductance;
    std::vector<std::int32_t> calls;

    Assembly(std::int32_t equations, std::int32_t half_band, const std::vector<Pipe>& pipes) {
        net.equation_count = equations;
        net.half_band = half_band;
        net.element_count = static_cast<std::int32_t>(pipes.size());
        for (std::int32_t e = 1; e <= net.element_count; ++e) {
            const Pipe& p = pipes[static_cast<std::size_t>(e - 1)];
            net.connectivity(1, e) = p.start;
            net.connectivity(2, e) = p.end;
            conductance.push_back(p.conductance);
        }
        std::ranges::fill(band_storage(net), sentinel);
    }

    void run() {
        assemble_global(net, net.rhs, [this](std::int32_t e, Network& n, Vec1<const float>) {
            calls.push_back(e);
            float c = conductance[static_cast<std::size_t>(e - 1)];
            n.element_matrix(1, 1) = c;
            n.element_matrix(2, 1) = -c;
            n.element_matrix(1, 2) = -c;
            n.element_matrix(2, 2) = c;
        });
    }

    // Row i of the band, columns 1 ... half_band.
    std::vector<float> row(std::int32_t i) const {
        std::vector<float> r;
        for (std::int32_t m = 1; m <= net.half_band; ++m) r.push_back(net.band(i, m));
        return r;
    }
};

using Row = std::vector<float>;

TEST(AssembleGlobal, ChainOfUnitConductances) {
    Assembly a(3, 2, {{1, 2, 1.0f}, {2, 3, 1.0f}});
    a.run();
    EXPECT_EQ(a.row(1), (Row{1.0f, -1.0f}));
    EXPECT_EQ(a.row(2), (Row{2.0f, -1.0f}));
    // (3, 2) belongs to no matrix entry: it is cleared and stays 0.
    EXPECT_EQ(a.row(3), (Row{1.0f, 0.0f}));
}

// The off-diagonal entry always lands in the row of the smaller node number, whichever end of
// the pipe that is.
TEST(AssembleGlobal, PipeDirectionDoesNotChangeTheBand) {
    Assembly forward(6, 4, {{5, 2, 3.0f}});
    Assembly backward(6, 4, {{2, 5, 3.0f}});
    forward.run();
    backward.run();
    EXPECT_TRUE(std::ranges::equal(band_storage(forward.net), band_storage(backward.net)));
    EXPECT_EQ(forward.row(2), (Row{3.0f, 0.0f, 0.0f, -3.0f}));
    EXPECT_EQ(forward.row(5), (Row{3.0f, 0.0f, 0.0f, 0.0f}));
    for (std::int32_t i : {1, 3, 4, 6}) EXPECT_EQ(forward.row(i), (Row{0, 0, 0, 0})) << i;
}

TEST(AssembleGlobal, ParallelPipesAddIntoTheSameEntries) {
    Assembly a(2, 2, {{1, 2, 1.5f}, {2, 1, 2.25f}});
    a.run();
    EXPECT_EQ(a.row(1), (Row{3.75f, -3.75f}));
    EXPECT_EQ(a.row(2), (Row{3.75f, 0.0f}));
}

// Each addition is one float rounding, elements in input order: 1 + 2^-24 + 2^-24 in float is 1,
// (2^-24 + 2^-24) + 1 would be 1 + 2^-23.
TEST(AssembleGlobal, SumsAreRoundedInElementOrder) {
    const float tiny = std::ldexp(1.0f, -24);
    Assembly a(2, 2, {{1, 2, 1.0f}, {1, 2, tiny}, {1, 2, tiny}});
    a.run();
    EXPECT_EQ(a.net.band(1, 1), 1.0f);
    EXPECT_EQ(a.net.band(1, 2), -1.0f);
    Assembly reordered(2, 2, {{1, 2, tiny}, {1, 2, tiny}, {1, 2, 1.0f}});
    reordered.run();
    EXPECT_EQ(reordered.net.band(1, 1), 1.0f + std::ldexp(1.0f, -23));
}

// Rows 1 ... equation_count, columns 1 ... half_band are cleared; the rest of the storage is not
// touched, and a second assembly starts from a clean rectangle.
TEST(AssembleGlobal, ClearsOnlyTheUsedRectangle) {
    Assembly a(3, 2, {{1, 2, 1.0f}, {2, 3, 1.0f}});
    a.run();
    a.run();
    EXPECT_EQ(a.row(1), (Row{1.0f, -1.0f}));
    EXPECT_EQ(a.row(2), (Row{2.0f, -1.0f}));
    EXPECT_EQ(a.row(3), (Row{1.0f, 0.0f}));
    for (std::int32_t i = 1; i <= band_rows; ++i) {
        for (std::int32_t m = 1; m <= max_half_band; ++m) {
            if (i <= 3 && m <= 2) continue;
            ASSERT_EQ(a.net.band(i, m), Assembly::sentinel) << "(" << i << ", " << m << ")";
        }
    }
}

// The element routine of a faulty pipe leaves the element matrix as it was; the assembly still
// forms and scatters every later element, so that each faulty one is noted.
TEST(AssembleGlobal, GoesOnAfterAFaultyElement) {
    Assembly a(4, 2, {{1, 2, 1.0f}, {2, 3, 2.0f}, {3, 4, 4.0f}});
    std::vector<std::int32_t> calls;
    assemble_global(a.net, a.net.rhs, [&](std::int32_t e, Network& n, Vec1<const float>) {
        calls.push_back(e);
        if (e == 1) return;
        float c = a.conductance[static_cast<std::size_t>(e - 1)];
        n.element_matrix(1, 1) = c;
        n.element_matrix(2, 1) = -c;
        n.element_matrix(1, 2) = -c;
        n.element_matrix(2, 2) = c;
    });
    EXPECT_EQ(calls, (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(a.net.band(3, 1), 6.0f); // elements 2 and 3 were both scattered
    EXPECT_EQ(a.net.band(4, 1), 4.0f);
}

// The element state vector reaches the element routine unchanged.
TEST(AssembleGlobal, PassesTheStateVectorThrough) {
    Assembly a(2, 2, {{1, 2, 1.0f}});
    EquationReals heads;
    heads(1) = 3.5f;
    heads(2) = -1.25f;
    float seen1 = 0.0f;
    float seen2 = 0.0f;
    assemble_global(a.net, heads, [&](std::int32_t, Network&, Vec1<const float> state) {
        seen1 = state(1);
        seen2 = state(2);
    });
    EXPECT_EQ(seen1, 3.5f);
    EXPECT_EQ(seen2, -1.25f);
}

// assemble_element reads only the entries on and above the diagonal: (1,1), (1,2), (2,2).
TEST(AssembleElement, ReadsTheUpperTriangleOnly) {
    struct ScatterCase {
        std::int32_t start;
        std::int32_t end;
        std::int32_t off_row;
        std::int32_t off_column;
    };
    const ScatterCase cases[] = {{2, 4, 2, 3}, {4, 2, 2, 3}, {1, 2, 1, 2}, {3, 1, 1, 3}};
    for (const ScatterCase& c : cases) {
        FixedNetwork net{};
        net.equation_count = 4;
        net.half_band = 3;
        net.element_count = 1;
        net.connectivity(1, 1) = c.start;
        net.connectivity(2, 1) = c.end;
        net.element_matrix(1, 1) = 1.0f;
        net.element_matrix(2, 1) = std::numeric_limits<float>::quiet_NaN();
        net.element_matrix(1, 2) = 2.0f;
        net.element_matrix(2, 2) = 4.0f;
        assemble_element(1, net);
        EXPECT_EQ(net.band(c.start, 1), 1.0f) << c.start << "-" << c.end;
        EXPECT_EQ(net.band(c.end, 1), 4.0f) << c.start << "-" << c.end;
        EXPECT_EQ(net.band(c.off_row, c.off_column), 2.0f) << c.start << "-" << c.end;
        float total = 0.0f;
        for (float v : band_storage(net)) total += v;
        EXPECT_EQ(total, 7.0f) << "exactly three entries touched, " << c.start << "-" << c.end;
    }
}

} // namespace
} // namespace pipenet
