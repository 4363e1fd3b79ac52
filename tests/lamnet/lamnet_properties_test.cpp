// Properties of the laminar analysis over many generated networks, driving the routines in the
// order of the linear driver.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "../fem/memory_report.hpp"
#include "../fem/random_network.hpp"
#include "fem/assemble.hpp"
#include "fem/laminar.hpp"
#include "fem/network_kernels.hpp"
#include "network/floating_groups.hpp"
#include "network/half_bandwidth.hpp"

namespace pipenet {
namespace {

constexpr int network_count = 300;
constexpr double unit_roundoff = std::numeric_limits<float>::epsilon() / 2;

// Reads, assembles, imposes the known heads, solves and forms the discharges; the heads are
// left in rhs.
struct Analysis {
    std::unique_ptr<FixedNetwork> net = std::make_unique<FixedNetwork>();

    explicit Analysis(const testing::GeneratedNetwork& g) { testing::fill_network(g, *net); }

    void run() {
        Network& n = *net;
        n.half_band = half_bandwidth(n);
        for (std::int32_t i = 1; i <= n.equation_count; ++i) n.rhs(i) = n.known_discharge(i);
        bool faulty = false;
        assemble_global(n, n.rhs, [&faulty](std::int32_t e, Network& m, Vec1<const float>) {
            faulty = laminar_element(e, m) != FaultCode::none || faulty;
        });
        ASSERT_FALSE(faulty);
        find_band_pattern(n);
        apply_prescribed_heads(n, n.rhs);
        ASSERT_EQ(solve_banded(n, n.rhs, lamnet_pivot_threshold, first_floating_row(n)), 0);
        laminar::member_discharges(n, n.rhs);
    }

    float head(std::int32_t node) const { return net->rhs(node); }
};

// The conductance of pipe e from the geometry, in double.
double conductance(const Network& net, std::int32_t e) {
    const std::int32_t a = net.connectivity.start_node(e);
    const std::int32_t b = net.connectivity.end_node(e);
    const double dx = double{net.x(b)} - net.x(a);
    const double dy = double{net.y(b)} - net.y(a);
    const double d = net.diameter(e);
    return double{net.rho_g_over_mu} * double{3.1416f} / 128.0 * (d * d * d * d) /
           std::sqrt(dx * dx + dy * dy);
}

struct Dense {
    std::int32_t n;
    std::vector<double> a;
    double& operator()(std::int32_t i, std::int32_t j) {
        return a[static_cast<std::size_t>((i - 1) * n + (j - 1))];
    }
};

// Solves A x = b by Gaussian elimination with partial pivoting (A and b are consumed).
std::vector<double> dense_solve(Dense a, std::vector<double> b) {
    const std::int32_t n = a.n;
    for (std::int32_t k = 1; k <= n; ++k) {
        std::int32_t p = k;
        for (std::int32_t i = k + 1; i <= n; ++i)
            if (std::fabs(a(i, k)) > std::fabs(a(p, k))) p = i;
        for (std::int32_t j = 1; j <= n; ++j) std::swap(a(k, j), a(p, j));
        std::swap(b[static_cast<std::size_t>(k - 1)], b[static_cast<std::size_t>(p - 1)]);
        for (std::int32_t i = k + 1; i <= n; ++i) {
            const double f = a(i, k) / a(k, k);
            for (std::int32_t j = k; j <= n; ++j) a(i, j) -= f * a(k, j);
            b[static_cast<std::size_t>(i - 1)] -= f * b[static_cast<std::size_t>(k - 1)];
        }
    }
    std::vector<double> x(static_cast<std::size_t>(n));
    for (std::int32_t k = n; k >= 1; --k) {
        double s = b[static_cast<std::size_t>(k - 1)];
        for (std::int32_t j = k + 1; j <= n; ++j) s -= a(k, j) * x[static_cast<std::size_t>(j - 1)];
        x[static_cast<std::size_t>(k - 1)] = s / a(k, k);
    }
    return x;
}

double infinity_norm(Dense& a) {
    double norm = 0;
    for (std::int32_t i = 1; i <= a.n; ++i) {
        double row = 0;
        for (std::int32_t j = 1; j <= a.n; ++j) row += std::fabs(a(i, j));
        norm = std::max(norm, row);
    }
    return norm;
}

// The generated networks one after the other: load() runs one and fills the members, and
// for_each_network runs a check on every network in turn. One test covers every seed, so that the
// suite does not start a process per seed; a failure names its seed.
class LaminarProperties : public ::testing::Test {
protected:
    template <class Check>
    void for_each_network(Check check) {
        for (seed = 1; seed <= network_count; ++seed) {
            SCOPED_TRACE(::testing::Message() << "seed " << seed);
            load();
            if (HasFatalFailure()) return;
            check();
            if (HasFatalFailure()) return;
        }
    }

    void load() {
        generated = testing::generate_network(static_cast<std::uint32_t>(seed));
        analysis = std::make_unique<Analysis>(generated);
        analysis->run();
        ASSERT_FALSE(HasFatalFailure());
        const Network& net = *analysis->net;
        known.assign(static_cast<std::size_t>(net.node_count + 1), false);
        for (const auto& [node, h] : generated.heads) known[static_cast<std::size_t>(node)] = true;
        given.assign(static_cast<std::size_t>(net.node_count + 1), 0.0);
        for (const auto& [node, q] : generated.discharges)
            given[static_cast<std::size_t>(node)] = testing::nearest_float(q, 4);
    }

    int seed = 0;
    testing::GeneratedNetwork generated;
    std::unique_ptr<Analysis> analysis;
    std::vector<bool> known;
    std::vector<double> given;
};

TEST_F(LaminarProperties, KnownHeadsComeOutBitForBit) {
    for_each_network([&] {
        for (const auto& [node, h] : generated.heads)
            EXPECT_EQ(analysis->head(node), testing::nearest_float(h, 4)) << "node " << node;
    });
}

// At a node whose head is not known the nodal discharge is the given discharge (0 where none is
// given), to the rounding of a banded solve: a residual within (3b + 10) u |K| |h|.
TEST_F(LaminarProperties, NodalDischargeReproducesTheGivenOne) {
    for_each_network([&] {
        const Network& net = *analysis->net;
        std::vector<double> scale(static_cast<std::size_t>(net.node_count + 1), 0.0);
        double head_norm = 0;
        for (std::int32_t n = 1; n <= net.node_count; ++n)
            head_norm = std::max(head_norm, std::fabs(double{analysis->head(n)}));
        std::vector<double> row_norm(static_cast<std::size_t>(net.node_count + 1), 0.0);
        for (std::int32_t e = 1; e <= net.element_count; ++e) {
            const double c = conductance(net, e);
            row_norm[static_cast<std::size_t>(net.connectivity.start_node(e))] += 2 * c;
            row_norm[static_cast<std::size_t>(net.connectivity.end_node(e))] += 2 * c;
        }
        const double k_norm = *std::max_element(row_norm.begin(), row_norm.end());
        const double bound = (3.0 * net.half_band + 10) * unit_roundoff * k_norm * head_norm;
        for (std::int32_t n = 1; n <= net.node_count; ++n) {
            if (known[static_cast<std::size_t>(n)]) continue;
            EXPECT_NEAR(net.nodal_discharge(n), given[static_cast<std::size_t>(n)], bound)
                << "node " << n;
        }
    });
}

// Every pipe adds its discharge at one end and takes it away at the other: the nodal discharges
// cancel but for the rounding of each node's running sum.
TEST_F(LaminarProperties, NodalDischargesSumToZero) {
    for_each_network([&] {
        const Network& net = *analysis->net;
        std::vector<double> touching(static_cast<std::size_t>(net.node_count + 1), 0.0);
        std::vector<int> degree(static_cast<std::size_t>(net.node_count + 1), 0);
        for (std::int32_t e = 1; e <= net.element_count; ++e) {
            for (std::int32_t node :
                 {net.connectivity.start_node(e), net.connectivity.end_node(e)}) {
                touching[static_cast<std::size_t>(node)] += std::fabs(net.member_discharge(e));
                ++degree[static_cast<std::size_t>(node)];
            }
        }
        double sum = 0;
        double bound = 0;
        for (std::int32_t n = 1; n <= net.node_count; ++n) {
            sum += net.nodal_discharge(n);
            bound += degree[static_cast<std::size_t>(n)] * unit_roundoff *
                     touching[static_cast<std::size_t>(n)];
        }
        EXPECT_LE(std::fabs(sum), bound);
    });
}

// Reversing one pipe flips its discharge and changes nothing else, bit for bit.
TEST_F(LaminarProperties, ReversingAPipeFlipsOnlyItsDischarge) {
    for_each_network([&] {
        const auto e =
            static_cast<std::int32_t>(static_cast<std::size_t>(seed) % generated.pipes.size()) + 1;
        testing::GeneratedNetwork reversed = generated;
        std::swap(reversed.pipes[static_cast<std::size_t>(e - 1)].start,
                  reversed.pipes[static_cast<std::size_t>(e - 1)].end);
        Analysis other(reversed);
        other.run();
        ASSERT_FALSE(HasFatalFailure());
        const Network& net = *analysis->net;
        for (std::int32_t n = 1; n <= net.node_count; ++n) {
            EXPECT_EQ(other.head(n), analysis->head(n)) << "node " << n;
            EXPECT_EQ(other.net->nodal_discharge(n), net.nodal_discharge(n)) << "node " << n;
        }
        for (std::int32_t p = 1; p <= net.element_count; ++p)
            EXPECT_EQ(other.net->member_discharge(p),
                      p == e ? -net.member_discharge(p) : net.member_discharge(p))
                << "pipe " << p;
    });
}

// For the same heads, doubling rho_g_over_mu doubles every discharge exactly.
TEST_F(LaminarProperties, DoublingTheFluidPropertyDoublesTheDischarges) {
    for_each_network([&] {
        FixedNetwork& net = *analysis->net;
        const FixedNetwork before = net;
        net.rho_g_over_mu *= 2;
        laminar::member_discharges(net, net.rhs);
        for (std::int32_t p = 1; p <= net.element_count; ++p)
            EXPECT_EQ(net.member_discharge(p), 2 * before.member_discharge(p)) << "pipe " << p;
    });
}

// The heads agree with a dense double-precision solve of the same network, built here from the
// geometry, to the forward error of a float solve: (3b + 10) u cond(K) |h|.
TEST_F(LaminarProperties, HeadsAgreeWithADenseDoubleSolve) {
    for_each_network([&] {
        const Network& net = *analysis->net;
        std::vector<std::int32_t> unknown_index(static_cast<std::size_t>(net.node_count + 1), 0);
        std::int32_t unknowns = 0;
        for (std::int32_t n = 1; n <= net.node_count; ++n)
            if (!known[static_cast<std::size_t>(n)])
                unknown_index[static_cast<std::size_t>(n)] = ++unknowns;
        if (unknowns == 0) return; // every head is known

        std::vector<double> head(static_cast<std::size_t>(net.node_count + 1), 0.0);
        for (const auto& [node, h] : generated.heads)
            head[static_cast<std::size_t>(node)] = testing::nearest_float(h, 4);
        Dense k{unknowns, std::vector<double>(static_cast<std::size_t>(unknowns * unknowns), 0.0)};
        std::vector<double> load(static_cast<std::size_t>(unknowns), 0.0);
        for (std::int32_t n = 1; n <= net.node_count; ++n)
            if (std::int32_t i = unknown_index[static_cast<std::size_t>(n)]; i > 0)
                load[static_cast<std::size_t>(i - 1)] = given[static_cast<std::size_t>(n)];
        for (std::int32_t e = 1; e <= net.element_count; ++e) {
            const double c = conductance(net, e);
            const std::int32_t ends[2] = {net.connectivity.start_node(e),
                                          net.connectivity.end_node(e)};
            for (int s = 0; s < 2; ++s) {
                const std::int32_t i = unknown_index[static_cast<std::size_t>(ends[s])];
                if (i == 0) continue;
                const std::int32_t other = ends[1 - s];
                const std::int32_t j = unknown_index[static_cast<std::size_t>(other)];
                k(i, i) += c;
                if (j > 0)
                    k(i, j) -= c;
                else
                    load[static_cast<std::size_t>(i - 1)] +=
                        c * head[static_cast<std::size_t>(other)];
            }
        }
        const std::vector<double> exact = dense_solve(k, load);

        // cond(K) in the infinity norm, from the columns of the inverse.
        double inverse_norm = 0;
        std::vector<double> inverse_rows(static_cast<std::size_t>(unknowns), 0.0);
        for (std::int32_t j = 1; j <= unknowns; ++j) {
            std::vector<double> unit(static_cast<std::size_t>(unknowns), 0.0);
            unit[static_cast<std::size_t>(j - 1)] = 1;
            const std::vector<double> column = dense_solve(k, unit);
            for (std::int32_t i = 0; i < unknowns; ++i)
                inverse_rows[static_cast<std::size_t>(i)] +=
                    std::fabs(column[static_cast<std::size_t>(i)]);
        }
        inverse_norm = *std::max_element(inverse_rows.begin(), inverse_rows.end());
        const double condition = infinity_norm(k) * inverse_norm;

        double exact_norm = 0;
        for (double h : exact) exact_norm = std::max(exact_norm, std::fabs(h));
        const double bound = (3.0 * net.half_band + 10) * unit_roundoff * condition * exact_norm;
        for (std::int32_t n = 1; n <= net.node_count; ++n) {
            const std::int32_t i = unknown_index[static_cast<std::size_t>(n)];
            if (i == 0) continue;
            EXPECT_NEAR(analysis->head(n), exact[static_cast<std::size_t>(i - 1)], bound)
                << "node " << n << ", cond " << condition;
        }
    });
}

} // namespace
} // namespace pipenet
