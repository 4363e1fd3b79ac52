// The C library's guards: texts that hold no network, values a network cannot hold, and
// arrays that are not there.
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

} // namespace
