#include <chrono>
#include <cmath>
#include <limits>
#include <regex>
#include <vector>

#include <gtest/gtest.h>

#include "plot/band_pattern.hpp"
#include "plot/colour_scale.hpp"
#include "plot/render.hpp"
#include "plot/view_transform.hpp"

namespace pipenet::plot {
namespace {

constexpr Frame frame{40.0, 80.0, 760.0, 560.0};

bool inside(Point p) {
    return p.x >= frame.left - 1e-9 && p.x <= frame.left + frame.width + 1e-9 &&
           p.y >= frame.top - 1e-9 && p.y <= frame.top + frame.height + 1e-9;
}

struct DegenerateCase {
    const char* name;
    std::vector<Point> points;
};

TEST(ViewTransform, EveryPointOfADegenerateNetworkLandsFiniteInTheFrame) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<DegenerateCase> cases{
        {"one point", {{5.0, 5.0}}},
        {"coincident", {{3.0, 4.0}, {3.0, 4.0}, {3.0, 4.0}}},
        {"horizontal", {{0.0, 0.0}, {50.0, 0.0}, {100.0, 0.0}}},
        {"vertical", {{7.0, -10.0}, {7.0, 10.0}}},
        {"1e30", {{-1e30, -1e30}, {1e30, 1e30}, {1e30, 0.0}}},
        {"largest doubles", {{-1.7e308, 0.0}, {1.7e308, 1.7e308}}},
        {"negative", {{-300.0, -200.0}, {-100.0, -250.0}}},
        {"tiny span", {{1.0, 1.0}, {1.0 + 1e-300, 1.0}}},
        {"not finite", {{inf, 0.0}, {std::nan(""), 1.0}, {0.0, 0.0}, {1.0, 1.0}}},
        {"nothing finite", {{inf, -inf}}},
        {"empty", {}},
    };
    for (const DegenerateCase& c : cases) {
        const ViewTransform view = ViewTransform::fit(c.points, frame);
        EXPECT_TRUE(std::isfinite(view.scale()) && view.scale() > 0.0) << c.name;
        for (const Point& p : c.points) {
            const Point s = view.to_screen(p);
            EXPECT_TRUE(std::isfinite(s.x) && std::isfinite(s.y)) << c.name;
            EXPECT_TRUE(inside(s)) << c.name << ": " << s.x << ", " << s.y;
        }
    }
}

TEST(ViewTransform, KeepsTheAspectAndPointsYUp) {
    // 200 wide and 100 high: the width fills the frame, the height takes half of that.
    const std::vector<Point> points{{0.0, 0.0}, {200.0, 0.0}, {0.0, 100.0}};
    const ViewTransform view = ViewTransform::fit(points, frame);
    EXPECT_DOUBLE_EQ(view.scale(), 760.0 / 200.0);
    const Point origin = view.to_screen(points[0]);
    const Point right = view.to_screen(points[1]);
    const Point up = view.to_screen(points[2]);
    EXPECT_DOUBLE_EQ(origin.x, 40.0);
    EXPECT_DOUBLE_EQ(right.x, 800.0);
    EXPECT_DOUBLE_EQ(right.y, origin.y);
    EXPECT_DOUBLE_EQ(origin.y - up.y, 380.0); // up is up the screen, at the same scale
    // Centred: 560 - 380 = 180 spare, half above.
    EXPECT_DOUBLE_EQ(up.y, 80.0 + 90.0);
}

TEST(ViewTransform, RoundScaleLengths) {
    const std::vector<std::pair<double, double>> cases{{1.0, 1.0},   {1.9, 1.0},  {2.0, 2.0},
                                                       {4.99, 2.0},  {7.0, 5.0},  {190.0, 100.0},
                                                       {0.03, 0.02}, {5e29, 5e29}};
    for (const auto& [longest, expected] : cases)
        EXPECT_NEAR(round_scale_length(longest), expected, expected * 1e-12) << longest;
}

TEST(ColourScale, ViridisEndsMiddleAndClamping) {
    EXPECT_EQ(hex(viridis(0.0)), "#440154");
    EXPECT_EQ(hex(viridis(1.0)), "#fde725");
    EXPECT_EQ(hex(viridis(0.5)), "#21918c");
    // Halfway between the stops at 0.9 and 1.0.
    EXPECT_EQ(hex(viridis(0.95)), "#dde326");
    EXPECT_EQ(hex(viridis(-3.0)), "#440154");
    EXPECT_EQ(hex(viridis(7.0)), "#fde725");
    EXPECT_EQ(hex(viridis(std::nan(""))), "#440154");
    EXPECT_EQ(hex(scale_colour(5.0, 5.0, 5.0)), "#21918c"); // one head: the middle
    EXPECT_EQ(hex(scale_colour(1e308, -1e308, 1e308)), "#fde725");
    EXPECT_EQ(hex(scale_colour(0.0, -1e308, 1e308)), "#21918c");
}

NetworkRecords chain_records(const std::vector<std::pair<std::int32_t, std::int32_t>>& pipes,
                             std::int32_t nodes) {
    NetworkRecords records;
    records.program = Program::lamnet;
    for (std::int32_t k = 1; k <= nodes; ++k)
        records.nodes.push_back({k, static_cast<float>(k), 0.0f});
    std::int32_t e = 0;
    for (const auto& [a, b] : pipes) records.elements.push_back({++e, a, b, 0.1f});
    return records;
}

TEST(BandPattern, HalfBandwidthAndThePipeThatSetsIt) {
    // Pipes 1-2, 5-2 and 3-5: the widest joins nodes 2 and 5, three apart.
    const BandPattern band = band_pattern_of(chain_records({{1, 2}, {5, 2}, {3, 5}}, 5));
    EXPECT_EQ(band.half_band, 4);
    EXPECT_EQ(band.widest_pipe, 2);
    EXPECT_EQ(band_pattern_text(band),
              "coefficient matrix: 5 equations, half-bandwidth 4, set by pipe 2 (nodes 5 and 2)\n"
              "XX..\n"
              "XX..X\n"
              "..X.X\n"
              "...X.\n"
              " XX.X\n");
    // Past the largest drawn, the summary alone.
    EXPECT_EQ(band_pattern_text(band, 4),
              "coefficient matrix: 5 equations, half-bandwidth 4, set by pipe 2 (nodes 5 and 2)\n");
}

TEST(BandPattern, RepeatedPipesAreOneEntryAndNoPipesNoWidest) {
    const BandPattern twice = band_pattern_of(chain_records({{1, 2}, {2, 1}}, 2));
    EXPECT_EQ(twice.upper.size(), 1u);
    const BandPattern none = band_pattern_of(chain_records({}, 3));
    EXPECT_EQ(none.widest_pipe, 0);
    EXPECT_EQ(band_pattern_text(none), "coefficient matrix: 3 equations, half-bandwidth 1\n"
                                       "X\n"
                                       " X\n"
                                       "  X\n");
}

// A side x side grid with made-up results, heads falling and flows growing across it.
PlotNetwork grid(std::int32_t side) {
    PlotNetwork network;
    network.file = "grid";
    network.analysed = true;
    network.has_results = true;
    network.verdict = solve::Verdict::solved;
    for (std::int32_t k = 0; k < side * side; ++k) {
        PlotNode node;
        node.node = k + 1;
        node.x = 10.0 * (k % side);
        node.y = 10.0 * (k / side);
        node.head = 100.0f - static_cast<float>(k) * 0.001f;
        network.nodes.push_back(node);
    }
    std::int32_t e = 0;
    for (std::int32_t k = 0; k < side * side; ++k) {
        for (std::int32_t step : {1, side}) {
            if ((step == 1 && k % side + 1 == side) || k + step >= side * side) continue;
            PlotPipe pipe;
            pipe.pipe = ++e;
            pipe.start = k + 1;
            pipe.end = k + step + 1;
            pipe.diameter = 0.1f;
            pipe.length = 10.0f;
            pipe.discharge = static_cast<float>(e % 7 - 3) * 0.001f;
            network.pipes.push_back(pipe);
        }
    }
    return network;
}

TEST(RenderSvg, TenThousandNodesInUnderASecondAndFiveMegabytes) {
    const PlotNetwork network = grid(100);
    const auto start = std::chrono::steady_clock::now();
    const std::string svg = render_svg(network, {});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
#if defined(__SANITIZE_ADDRESS__) || defined(__OPTIMIZE__) == 0
    const double budget = 10.0; // unoptimised or sanitized builds
#else
    const double budget = 1.0;
#endif
    EXPECT_LT(took.count(), budget);
    EXPECT_LT(svg.size(), 5'000'000u);
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_EQ(svg.find("inf"), std::string::npos);
}

TEST(RenderSvg, WidthsFollowTheDischargesAndNotANumberIsGrey) {
    PlotNetwork network = grid(2); // pipes 1-2, 1-3, 2-4, 3-4
    network.pipes[0].discharge = 0.004f;
    network.pipes[1].discharge = -0.002f;
    network.pipes[2].discharge = 0.0f;
    network.pipes[3].discharge = std::nanf("");
    network.nodes[3].head = std::nanf("");
    const std::string svg = render_svg(network, {});
    const std::regex width("data-pipe=\"(\\d)\">[^<]*<title>[^<]*</title><line[^>]*"
                           "stroke-width=\"([\\d.]+)\"");
    std::vector<std::string> widths;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), width);
         it != std::sregex_iterator(); ++it)
        widths.push_back((*it)[1].str() + ":" + (*it)[2].str());
    // 1 + 7 |q| / max |q|; a discharge that is not a number gets the thinnest line.
    EXPECT_EQ(widths, (std::vector<std::string>{"1:8", "2:4.5", "3:1", "4:1"}));
    EXPECT_NE(svg.find("fill=\"#9e9e9e\""), std::string::npos);
    EXPECT_EQ(svg.find("\"nan"), std::string::npos);
}

} // namespace
} // namespace pipenet::plot
