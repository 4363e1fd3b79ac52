// The C library's model calls: .inp and programs' files, IDs, values by index, tolerances and
// the iteration limit, against hand-worked heads.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pipenet/pipenet.h"

namespace {

// R -> P1 -> J1 -> P2 -> J2, Hazen-Williams, L/s.
constexpr const char* chain_inp = R"([JUNCTIONS]
 J1  10  5
 J2  5   10
[RESERVOIRS]
 R   100
[PIPES]
 P1  R   J1  1000  300  120
 P2  J1  J2  500   200  100
[OPTIONS]
 Units     LPS
 Headloss  H-W
[END]
)";

double loss(double c, double d, double length, double q) {
    return 10.667 * std::pow(c, -1.852) * std::pow(d, -4.871) * length * std::pow(q, 1.852);
}

struct Model {
    pipenet_model* handle = nullptr;
    explicit Model(const std::string& text, pipenet_file_kind kind) {
        EXPECT_EQ(pipenet_model_read(text.data(), text.size(), kind, &handle), PIPENET_OK);
    }
    ~Model() { pipenet_model_free(handle); }
    std::vector<double> heads() const {
        std::vector<double> h(pipenet_model_node_count(handle));
        EXPECT_EQ(pipenet_model_heads(handle, h.data(), h.size()), PIPENET_OK);
        return h;
    }
};

TEST(CModel, ReadsInpWithIdsAndSolvesLikeTheHandCalculation) {
    Model m(chain_inp, PIPENET_FILE_INP);
    ASSERT_EQ(pipenet_model_node_count(m.handle), 3u);
    ASSERT_EQ(pipenet_model_link_count(m.handle), 2u);
    EXPECT_STREQ(pipenet_model_node_id(m.handle, 2), "R");
    EXPECT_STREQ(pipenet_model_link_id(m.handle, 1), "P2");
    EXPECT_EQ(pipenet_model_node_id(m.handle, 3), nullptr);
    size_t j2 = 9, p2 = 9;
    ASSERT_EQ(pipenet_model_find_node(m.handle, "J2", &j2), PIPENET_OK);
    ASSERT_EQ(pipenet_model_find_link(m.handle, "P2", &p2), PIPENET_OK);
    EXPECT_EQ(j2, 1u);
    EXPECT_EQ(p2, 1u);
    EXPECT_EQ(pipenet_model_find_node(m.handle, "P2", &j2), PIPENET_BAD_ARGUMENT);

    double heads[3];
    EXPECT_EQ(pipenet_model_heads(m.handle, heads, 3), PIPENET_NO_RESULTS);
    ASSERT_EQ(pipenet_model_set_tolerance(m.handle, 1e-12, 1e-10), PIPENET_OK);
    ASSERT_EQ(pipenet_model_solve(m.handle), PIPENET_OK);
    const double h1 = 100 - loss(120, 0.3, 1000, 0.015);
    EXPECT_NEAR(m.heads()[0], h1, 1e-9);
    EXPECT_NEAR(m.heads()[1], h1 - loss(100, 0.2, 500, 0.010), 1e-9);

    // Each link's own roughness, and a demand by index (drawn off, m3/s).
    ASSERT_EQ(pipenet_model_set_roughness(m.handle, p2, 140), PIPENET_OK);
    ASSERT_EQ(pipenet_model_set_demand(m.handle, j2, 0.02), PIPENET_OK);
    EXPECT_EQ(pipenet_model_heads(m.handle, heads, 3), PIPENET_NO_RESULTS);
    ASSERT_EQ(pipenet_model_solve(m.handle), PIPENET_OK);
    const double h1b = 100 - loss(120, 0.3, 1000, 0.025);
    EXPECT_NEAR(m.heads()[1], h1b - loss(140, 0.2, 500, 0.020), 1e-9);
    double flows[2];
    ASSERT_EQ(pipenet_model_flows(m.handle, flows, 2), PIPENET_OK);
    EXPECT_NEAR(flows[1], 0.020, 1e-12);
    EXPECT_EQ(pipenet_model_flows(m.handle, flows, 1), PIPENET_BAD_ARGUMENT);

    // Released, the reservoir leaves no head determined.
    ASSERT_EQ(pipenet_model_set_known_head(m.handle, 2, NAN), PIPENET_OK);
    EXPECT_EQ(pipenet_model_solve(m.handle), PIPENET_SINGULAR);
}

TEST(CModel, BadArgumentsChangeNothing) {
    Model m(chain_inp, PIPENET_FILE_INP);
    EXPECT_EQ(pipenet_model_set_diameter(m.handle, 2, 0.3), PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(pipenet_model_set_diameter(m.handle, 0, 0.0), PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(pipenet_model_set_diameter(m.handle, 0, INFINITY), PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(pipenet_model_set_roughness(m.handle, 0, -1.0), PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(pipenet_model_set_demand(m.handle, 3, 1.0), PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(pipenet_model_set_demand(m.handle, 0, NAN), PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(pipenet_model_set_known_head(m.handle, 0, INFINITY), PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(pipenet_model_set_tolerance(m.handle, 0.0, 1.0), PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(pipenet_model_set_iteration_limit(m.handle, 0), PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(pipenet_model_find_node(m.handle, nullptr, nullptr), PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(pipenet_model_solve(nullptr), PIPENET_BAD_ARGUMENT);
    EXPECT_EQ(pipenet_model_node_count(nullptr), 0u);
    // The values are as read: the hand calculation still holds.
    ASSERT_EQ(pipenet_model_set_tolerance(m.handle, 1e-12, 1e-10), PIPENET_OK);
    ASSERT_EQ(pipenet_model_solve(m.handle), PIPENET_OK);
    EXPECT_NEAR(m.heads()[0], 100 - loss(120, 0.3, 1000, 0.015), 1e-9);
}

TEST(CModel, UnreadableTextsGiveNoHandle) {
    struct Case {
        const char* text;
        pipenet_file_kind kind;
    };
    for (const Case& c : {Case{"no network here\n", PIPENET_FILE_LAMNET},
                          Case{"[PIPES]\n P1 A B 100 300 120\n", PIPENET_FILE_INP},
                          Case{"", PIPENET_FILE_TURBNET}}) {
        pipenet_model* handle = reinterpret_cast<pipenet_model*>(&handle);
        EXPECT_EQ(pipenet_model_read(c.text, std::strlen(c.text), c.kind, &handle),
                  PIPENET_UNREADABLE)
            << c.text;
        EXPECT_EQ(handle, nullptr);
    }
    pipenet_model* handle = nullptr;
    EXPECT_EQ(pipenet_model_read("x", 1, static_cast<pipenet_file_kind>(7), &handle),
              PIPENET_BAD_ARGUMENT);
}

TEST(CModel, IterationLimitAndVersion) {
    std::ifstream file(PIPENET_EXAMPLES "/input-nonlin.dat");
    std::stringstream text;
    text << file.rdbuf();
    Model m(text.str(), PIPENET_FILE_TURBNET);
    ASSERT_EQ(pipenet_model_node_count(m.handle), 30u);
    EXPECT_STREQ(pipenet_model_node_id(m.handle, 29), "30");
    ASSERT_EQ(pipenet_model_set_iteration_limit(m.handle, 1), PIPENET_OK);
    EXPECT_EQ(pipenet_model_solve(m.handle), PIPENET_ITERATION_LIMIT);
    EXPECT_EQ(pipenet_model_pass_count(m.handle), 2u); // the start solve and one pass
    ASSERT_EQ(pipenet_model_set_iteration_limit(m.handle, 100), PIPENET_OK);
    ASSERT_EQ(pipenet_model_set_tolerance(m.handle, 1e-5, 1e-4), PIPENET_OK);
    EXPECT_EQ(pipenet_model_solve(m.handle), PIPENET_OK);
    EXPECT_STREQ(pipenet_version(), "1.0");
}

// The loop a caller of the library runs: set one diameter, solve, read the heads. Each re-solve
// starts from the last heads and must reach the heads of a model read afresh with that diameter,
// in fewer passes; a re-solve cut short by the iteration limit reports its own passes alone.
TEST(CModel, ReSolvesAfterADiameterChangeMatchAFreshModel) {
    std::ifstream file(PIPENET_EXAMPLES "/input-nonlin.dat");
    std::stringstream read;
    read << file.rdbuf();
    const std::string text = read.str();
    Model kept(text, PIPENET_FILE_TURBNET);
    ASSERT_EQ(pipenet_model_solve(kept.handle), PIPENET_OK);
    const std::vector<double> first = kept.heads();
    for (const double diameter : {0.30, 0.25, 0.30, 0.12, 0.25}) {
        ASSERT_EQ(pipenet_model_set_diameter(kept.handle, 0, diameter), PIPENET_OK);
        ASSERT_EQ(pipenet_model_solve(kept.handle), PIPENET_OK) << diameter;
        Model fresh(text, PIPENET_FILE_TURBNET);
        ASSERT_EQ(pipenet_model_set_diameter(fresh.handle, 0, diameter), PIPENET_OK);
        ASSERT_EQ(pipenet_model_solve(fresh.handle), PIPENET_OK) << diameter;
        EXPECT_LT(pipenet_model_pass_count(kept.handle), pipenet_model_pass_count(fresh.handle))
            << diameter;
        const std::vector<double> warm = kept.heads();
        const std::vector<double> cold = fresh.heads();
        double moved = 0.0;
        for (size_t i = 0; i < warm.size(); ++i) {
            EXPECT_NEAR(warm[i], cold[i], 1e-5) << diameter << " node " << i;
            moved = std::max(moved, std::abs(cold[i] - first[i]));
        }
        EXPECT_GT(moved, 1e-3) << diameter;
    }
    ASSERT_EQ(pipenet_model_set_diameter(kept.handle, 0, 0.2), PIPENET_OK);
    ASSERT_EQ(pipenet_model_set_iteration_limit(kept.handle, 1), PIPENET_OK);
    EXPECT_EQ(pipenet_model_solve(kept.handle), PIPENET_ITERATION_LIMIT);
    EXPECT_EQ(pipenet_model_pass_count(kept.handle), 1u);
}

} // namespace
