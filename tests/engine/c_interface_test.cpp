// The C library's guards: texts that hold no network, values a network cannot hold, and
// arrays that are not there.
#include <array>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pipenet/pipenet.h"

namespace {

// The four-pipe square of docs/examples/lamnet-loop.
const char laminar_loop[] = "         4         4         2         1    97900.\n"
                            "         1      0.00      0.00\n"
                            "         2     80.00      0.00\n"
                            "         3     80.00     60.00\n"
                            "         4      0.00     60.00\n"
                            "         1         1         2   0.20000\n"
                            "         2         2         3   0.15000\n"
                            "         3         1         4   0.15000\n"
                            "         4         4         3   0.20000\n"
                            "         3     -0.6000\n"
                            "         4     -0.2000\n"
                            "         1  120.0000\n";

struct Network {
    pipenet_network* handle = nullptr;
    Network() {
        EXPECT_EQ(pipenet_load(laminar_loop, std::strlen(laminar_loop), PIPENET_LAMINAR, &handle),
                  PIPENET_OK);
    }
    ~Network() { pipenet_free(handle); }
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;
};

TEST(CInterfaceLoad, BlankTextsAreUnreadable) {
    for (const std::string text : {"", " ", "\n", "\n\n\n", "   \r\n  \t\n", "\f\v\n"}) {
        for (pipenet_flow flow : {PIPENET_LAMINAR, PIPENET_TURBULENT}) {
            pipenet_network* network = reinterpret_cast<pipenet_network*>(&flow);
            EXPECT_EQ(pipenet_load(text.data(), text.size(), flow, &network), PIPENET_UNREADABLE)
                << '"' << text << '"';
            EXPECT_EQ(network, nullptr);
        }
    }
    // A C caller may pass any int for the flow: one that names none is refused, not read.
    pipenet_network* refused = nullptr;
    EXPECT_EQ(pipenet_load(laminar_loop, std::strlen(laminar_loop), static_cast<pipenet_flow>(7),
                           &refused),
              PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(refused, nullptr);
    // A header that says 0 nodes is a network, refused by the analysis.
    const std::string empty_network = "         0         0         0         0    97900.\n";
    pipenet_network* network = nullptr;
    ASSERT_EQ(pipenet_load(empty_network.data(), empty_network.size(), PIPENET_LAMINAR, &network),
              PIPENET_OK);
    EXPECT_EQ(pipenet_solve(network), PIPENET_REFUSED);
    EXPECT_EQ(pipenet_fault(network, nullptr, nullptr), PIPENET_FAULT_NO_NODES);
    pipenet_free(network);
}

// Every setter on every class of value: refused values change nothing and keep the results.
TEST(CInterfaceSet, ValuesOutsideTheRangeOfAFloatAreRefused) {
    using Setter = pipenet_status (*)(pipenet_network*, int, double);
    const Setter setters[] = {pipenet_set_diameter, pipenet_set_known_discharge,
                              pipenet_set_known_head};
    const double inf = std::numeric_limits<double>::infinity();
    const double refused[] = {std::nan(""), -std::nan(""), inf,
                              -inf,         DBL_MAX,       -DBL_MAX,
                              1.0e39,       -1.0e39,       std::nextafter(double{FLT_MAX}, inf)};
    for (Setter set : setters) {
        for (double value : refused) {
            Network net;
            ASSERT_EQ(pipenet_solve(net.handle), PIPENET_OK);
            std::vector<double> before(4), after(4);
            ASSERT_EQ(pipenet_heads(net.handle, before.data(), 4), PIPENET_OK);
            EXPECT_EQ(set(net.handle, 2, value), PIPENET_BAD_ARGUMENT) << value;
            // The network as it was: its results stand, and a new analysis gives them again.
            ASSERT_EQ(pipenet_heads(net.handle, after.data(), 4), PIPENET_OK) << value;
            EXPECT_EQ(after, before);
            ASSERT_EQ(pipenet_solve(net.handle), PIPENET_OK) << value;
            ASSERT_EQ(pipenet_heads(net.handle, after.data(), 4), PIPENET_OK);
            EXPECT_EQ(after, before) << value;
        }
        Network net;
        for (double value : {0.0, -0.0, -0.5, 1.0e-30, double{FLT_MAX}, -double{FLT_MAX}})
            EXPECT_EQ(set(net.handle, 2, value), PIPENET_OK) << value;
        EXPECT_EQ(set(nullptr, 2, 1.0), PIPENET_BAD_ARGUMENT);
        EXPECT_EQ(set(net.handle, 5, 1.0), PIPENET_BAD_ARGUMENT);
    }
}

TEST(CInterfaceSet, ADiameterOfZeroIsTheAnalysisToRefuse) {
    Network net;
    ASSERT_EQ(pipenet_set_diameter(net.handle, 3, 0.0), PIPENET_OK);
    EXPECT_EQ(pipenet_solve(net.handle), PIPENET_REFUSED);
    int pipe = 0;
    EXPECT_EQ(pipenet_fault(net.handle, nullptr, &pipe), PIPENET_FAULT_ZERO_DIAMETER);
    EXPECT_EQ(pipe, 3);
}

TEST(CInterfaceResults, NullArraysAreRefusedAfterASolve) {
    using Copier = pipenet_status (*)(const pipenet_network*, double*, size_t);
    Network net;
    ASSERT_EQ(pipenet_solve(net.handle), PIPENET_OK);
    for (Copier copy : {Copier{pipenet_heads}, Copier{pipenet_nodal_discharges},
                        Copier{pipenet_member_discharges}}) {
        for (size_t count : {size_t{0}, size_t{4}, size_t{1000}})
            EXPECT_EQ(copy(net.handle, nullptr, count), PIPENET_BAD_ARGUMENT) << count;
        std::vector<double> values(4, -1.0);
        EXPECT_EQ(copy(net.handle, values.data(), 3), PIPENET_BAD_ARGUMENT);
        EXPECT_EQ(values, std::vector<double>(4, -1.0)) << "nothing copied into too short an array";
        EXPECT_EQ(copy(net.handle, values.data(), 4), PIPENET_OK);
        EXPECT_EQ(copy(nullptr, values.data(), 4), PIPENET_BAD_ARGUMENT);
    }
    EXPECT_EQ(pipenet_residuals(net.handle, nullptr, 10), 0u);
}

// The loop's heads by hand: Hagen-Poiseuille conductances c = k pi/128 D^4/L, the balance of
// nodes 2, 3 and 4 around the known head at node 1, solved by Cramer's rule.
struct LoopSolution {
    std::array<double, 4> heads{};
    std::array<double, 4> member{};
};

LoopSolution laminar_loop_by_hand(double drawn_at_4 = 0.2) {
    const double pi = 3.14159265358979323846;
    auto c = [&](double d, double l) { return 97900.0 * pi / 128.0 * d * d * d * d / l; };
    const double c1 = c(0.2, 80.0), c2 = c(0.15, 60.0), c3 = c(0.15, 60.0), c4 = c(0.2, 80.0);
    const double h1 = 120.0;
    // Rows: node 2: c1 (h1 - h2) + c2 (h3 - h2) = 0; node 3: c2 (h2 - h3) + c4 (h4 - h3) = 0.6;
    // node 4: c3 (h1 - h4) + c4 (h3 - h4) = drawn_at_4; unknowns h2, h3, h4.
    const double a[3][3] = {{c1 + c2, -c2, 0.0}, {-c2, c2 + c4, -c4}, {0.0, -c4, c3 + c4}};
    const double b[3] = {c1 * h1, -0.6, c3 * h1 - drawn_at_4};
    auto det = [](const double m[3][3]) {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
               m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    LoopSolution out;
    out.heads[0] = h1;
    for (int k = 0; k < 3; ++k) {
        double m[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) m[i][j] = j == k ? b[i] : a[i][j];
        out.heads[static_cast<std::size_t>(k + 1)] = det(m) / det(a);
    }
    const auto& h = out.heads;
    out.member = {c1 * (h[0] - h[1]), c2 * (h[1] - h[2]), c3 * (h[0] - h[3]), c4 * (h[3] - h[2])};
    return out;
}

TEST(CInterfaceArithmetic, LoadedNetworksAreAnalysedInDoublePrecisionByDefault) {
    const LoopSolution expected = laminar_loop_by_hand();
    Network net;
    ASSERT_EQ(pipenet_solve(net.handle), PIPENET_OK);
    EXPECT_EQ(pipenet_analysed_in(net.handle), PIPENET_DOUBLE_PRECISION);
    std::vector<double> heads(4), member(4);
    ASSERT_EQ(pipenet_heads(net.handle, heads.data(), 4), PIPENET_OK);
    ASSERT_EQ(pipenet_member_discharges(net.handle, member.data(), 4), PIPENET_OK);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(heads[i], expected.heads[i], 1e-9) << "node " << i + 1;
        EXPECT_NEAR(member[i], expected.member[i], 1e-12) << "pipe " << i + 1;
    }
    // A change reaches the model: twice the draw at node 4.
    ASSERT_EQ(pipenet_set_known_discharge(net.handle, 4, -0.4), PIPENET_OK);
    ASSERT_EQ(pipenet_solve(net.handle), PIPENET_OK);
    ASSERT_EQ(pipenet_heads(net.handle, heads.data(), 4), PIPENET_OK);
    const LoopSolution drawn = laminar_loop_by_hand(0.4);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(heads[i], drawn.heads[i], 1e-9);
}

TEST(CInterfaceArithmetic, TheProgramsArithmeticGivesTheirFloats) {
    const LoopSolution expected = laminar_loop_by_hand();
    Network net;
    EXPECT_EQ(pipenet_set_arithmetic(net.handle, static_cast<pipenet_arithmetic>(2)),
              PIPENET_BAD_ARGUMENT);
    ASSERT_EQ(pipenet_set_arithmetic(net.handle, PIPENET_PROGRAMS_ARITHMETIC), PIPENET_OK);
    ASSERT_EQ(pipenet_solve(net.handle), PIPENET_OK);
    EXPECT_EQ(pipenet_analysed_in(net.handle), PIPENET_PROGRAMS_ARITHMETIC);
    std::vector<double> heads(4);
    ASSERT_EQ(pipenet_heads(net.handle, heads.data(), 4), PIPENET_OK);
    bool all_exact = true;
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(heads[i], static_cast<double>(static_cast<float>(heads[i]))) << "a float";
        EXPECT_NEAR(heads[i], expected.heads[i], 1e-3);
        all_exact = all_exact && std::fabs(heads[i] - expected.heads[i]) < 1e-9;
    }
    EXPECT_FALSE(all_exact) << "single precision cannot meet the double solution everywhere";
}

// What the double-precision analysis cannot take as given is the programs' engine's to judge,
// so that the fault and the singular row say why.
TEST(CInterfaceArithmetic, WhatTheModelCannotTakeGetsTheProgramsVerdict) {
    {
        Network net;
        ASSERT_EQ(pipenet_set_diameter(net.handle, 2, 0.0), PIPENET_OK);
        EXPECT_EQ(pipenet_solve(net.handle), PIPENET_REFUSED);
        EXPECT_EQ(pipenet_analysed_in(net.handle), PIPENET_PROGRAMS_ARITHMETIC);
        int pipe = 0;
        EXPECT_EQ(pipenet_fault(net.handle, nullptr, &pipe), PIPENET_FAULT_ZERO_DIAMETER);
        EXPECT_EQ(pipe, 2);
    }
    // Node 5 is joined to nothing: its row is the first without a pivot.
    const std::string isolated = "         5         4         2         1    97900.\n"
                                 "         1      0.00      0.00\n"
                                 "         2     80.00      0.00\n"
                                 "         3     80.00     60.00\n"
                                 "         4      0.00     60.00\n"
                                 "         5     40.00     30.00\n"
                                 "         1         1         2   0.20000\n"
                                 "         2         2         3   0.15000\n"
                                 "         3         1         4   0.15000\n"
                                 "         4         4         3   0.20000\n"
                                 "         3     -0.6000\n"
                                 "         4     -0.2000\n"
                                 "         1  120.0000\n";
    pipenet_network* network = nullptr;
    ASSERT_EQ(pipenet_load(isolated.data(), isolated.size(), PIPENET_LAMINAR, &network),
              PIPENET_OK);
    EXPECT_EQ(pipenet_solve(network), PIPENET_SINGULAR);
    EXPECT_EQ(pipenet_singular_row(network), 5);
    std::vector<double> heads(5);
    EXPECT_EQ(pipenet_heads(network, heads.data(), 5), PIPENET_NO_RESULTS);
    // Given a known head, node 5 is determined and the model analyses the network again.
    ASSERT_EQ(pipenet_set_known_head(network, 5, 110.0), PIPENET_OK);
    EXPECT_EQ(pipenet_solve(network), PIPENET_OK);
    EXPECT_EQ(pipenet_analysed_in(network), PIPENET_DOUBLE_PRECISION);
    ASSERT_EQ(pipenet_heads(network, heads.data(), 5), PIPENET_OK);
    EXPECT_EQ(heads[4], 110.0);
    EXPECT_NEAR(heads[1], laminar_loop_by_hand().heads[1], 1e-9);
    pipenet_free(network);
}

} // namespace
