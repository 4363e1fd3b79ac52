#include <cctype>
#include <chrono>
#include <cmath>
#include <limits>
#include <regex>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "plot/band_pattern.hpp"
#include "plot/colour_scale.hpp"
#include "plot/label_placement.hpp"
#include "plot/legend_values.hpp"
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

TEST(LegendValues, PlainNotationAtThreeAndSixDigits) {
    struct Case {
        double value;
        const char* three;
        const char* six;
    };
    const std::vector<Case> cases{
        {7.94936e-05, "0.0000795", "0.0000794936"},
        {0.01482, "0.0148", "0.01482"},
        {-123.456, "-123", "-123.456"},
        {1234.5, "1230", "1234.5"}, // the lower digits of a large value go too
        {99.96, "100", "99.96"},    // rounding carries into a new digit
        {80.86843, "80.9", "80.8684"},
        {95.0, "95.0", "95"},
        {2.0e7, "20000000", "20000000"},
        {-0.0, "0", "0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(three_digits(c.value), c.three) << c.value;
        EXPECT_EQ(six_digits(c.value), c.six) << c.value;
    }
}

TEST(LegendValues, ColourBarTicksAreRoundAndInsideTheRange) {
    struct Case {
        double low;
        double high;
        std::vector<std::string> ticks;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Steps worked out by hand: the smallest of 1, 2, 5 times a power of ten that leaves at most
    // six multiples in the range.
    const std::vector<Case> cases{
        {80.8684, 95.0, {"85.0", "90.0"}},                // step 5; 95 is an end
        {0.0, 1.0, {"0.200", "0.400", "0.600", "0.800"}}, // step 0.2
        {-0.003, 0.002, {"-0.00200", "-0.00100", "0", "0.00100"}},
        // Three digits would write each tick as 1000: the step's decimals are kept.
        {1000.0, 1000.5, {"1000.1", "1000.2", "1000.3", "1000.4"}},
        {0.0844066, 2.81759, {"0.500", "1.00", "1.50", "2.00", "2.50"}},
        {5.0, 5.0, {}},
        {nan, 1.0, {}},
        {2.0, 1.0, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> texts;
        for (const Tick& tick : colour_bar_ticks(c.low, c.high)) {
            texts.push_back(tick.text);
            EXPECT_GT(tick.value, c.low);
            EXPECT_LT(tick.value, c.high);
        }
        EXPECT_EQ(texts, c.ticks) << c.low << " .. " << c.high;
    }
}

TEST(LabelPlacement, EachLabelIsKeptOnlyClearOfTheKeptOnesAndTheObstacles) {
    struct Case {
        const char* name;
        std::vector<Box> labels;
        std::vector<Box> obstacles;
        std::vector<bool> kept;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Case> cases{
        {"the first of two overlapping wins", {{0, 0, 10, 10}, {5, 5, 15, 15}}, {}, {true, false}},
        // The third overlaps only the dropped second: it is compared with kept labels alone.
        {"a dropped label blocks nothing",
         {{0, 0, 10, 10}, {8, 0, 18, 10}, {16, 0, 26, 10}},
         {},
         {true, false, true}},
        {"edges may touch",
         {{0, 0, 10, 10}, {10, 0, 20, 10}, {0, 10, 10, 20}},
         {},
         {true, true, true}},
        {"a node covers a label",
         {{0, 0, 10, 10}, {20, 0, 30, 10}},
         {{25, 5, 27, 7}},
         {true, false}},
        {"far apart, across the cells of the index",
         {{0, 0, 10, 10}, {500, 500, 510, 510}, {-300, 40, -200, 52}},
         {},
         {true, true, true}},
        // A wide label overlapping one in a cell of the index it does not start in.
        {"wide labels", {{0, 0, 300, 12}, {250, 5, 260, 20}}, {}, {true, false}},
        {"a box that is not finite is not drawn",
         {{0, 0, inf, 10}, {0, 0, 10, 10}},
         {},
         {false, true}},
    };
    for (const Case& c : cases) EXPECT_EQ(place_labels(c.labels, c.obstacles), c.kept) << c.name;
}

// The labels of the picture of a crowded corner, worked out by hand: 7 pixels per unit (100 x 80
// units into a frame of 700 x 560), nodes of radius 7, a label's box 6.6 pixels a character
// wide and 12 high with a margin of 2 left and right and 0.5 above and below, a node's name
// starting 9 right of and 17 below its node's centre.
TEST(RenderSvg, CrowdedLabelsGiveWayInOrderOfImportance) {
    PlotNetwork network;
    network.file = "crowded";
    const std::vector<Point> at{{0.0, 0.0}, {16.0, 6.0}, {100.0, 78.0}, {1.5, -2.0}};
    for (std::size_t k = 0; k < at.size(); ++k) {
        PlotNode node;
        node.node = static_cast<std::int32_t>(k + 1);
        node.x = at[k].x;
        node.y = at[k].y;
        network.nodes.push_back(node);
    }
    network.nodes[0].known_discharge = -0.001f; // "out 0.00100"
    network.nodes[2].known_head = 10.0f;
    for (const auto& [start, end] : {std::pair{1, 2}, std::pair{3, 4}}) {
        PlotPipe pipe;
        pipe.pipe = static_cast<std::int32_t>(network.pipes.size() + 1);
        pipe.start = start;
        pipe.end = end;
        network.pipes.push_back(pipe);
    }
    RenderSettings settings;
    settings.labels = Labels::all;
    const std::string svg = render_svg(network, settings);
    const auto labelled = [&](const std::string& kind, int number) {
        const std::string data = kind == "pipe" ? "pipe" : "node";
        const std::regex group("<g class=\"" + kind + "[^\"]*\" data-" + data + "=\"" +
                               std::to_string(number) + "\">[\\s\\S]*?</g>");
        std::smatch found;
        if (!std::regex_search(svg, found, group)) return std::string("no group");
        const std::regex text("<text class=\"label\"[^>]*>([^<]*)</text>");
        std::smatch label;
        const std::string body = found[0].str();
        return std::regex_search(body, label, text) ? label[1].str() : std::string();
    };
    // Node 1's name would lie on node 4, 10.5 right and 14 below it: dropped.
    EXPECT_EQ(labelled("node", 1), "");
    EXPECT_EQ(labelled("node", 2), "2");
    EXPECT_EQ(labelled("node", 3), "3");
    EXPECT_EQ(labelled("node", 4), "4");
    // Node 1's discharge, its box from 24 to 99 right and 36 to 23 up of node 1, wins over the
    // name of pipe 1, whose box is 4 pixels clear of the pipe's middle (56 right, 21 up) on
    // its upper side: from 47 to 58 right and 37 to 24 up.
    EXPECT_EQ(labelled("known-discharge", 1), "out 0.00100");
    EXPECT_EQ(labelled("pipe", 1), "");
    EXPECT_EQ(labelled("pipe", 2), "2");
}

// Pipes coloured by |velocity| or |discharge|: the two quantities rank these pipes in different
// orders, so a colour taken from the wrong one shows.
TEST(RenderSvg, PipeColoursShowTheChosenQuantity) {
    PlotNetwork network = grid(2); // pipes 1-2, 1-3, 2-4, 3-4
    network.program = Program::turbnet;
    const std::vector<std::pair<float, float>> flows{
        {0.004f, 0.5f}, {-0.001f, -2.0f}, {0.002f, 1.0f}, {0.0025f, 1.5f}};
    for (std::size_t e = 0; e < flows.size(); ++e) {
        network.pipes[e].discharge = flows[e].first;
        network.pipes[e].velocity = flows[e].second;
    }
    struct Case {
        Colour colour;
        const char* title;
        std::vector<std::string> strokes;
    };
    // By hand from the viridis stops: |v| from 0.5 to 2 puts 1.0 at a third, a third of the way
    // from stop 3 (35 5f 8d) to stop 4 (2a 78 8e), 31 67 8d; and 1.5 at two thirds, from stop 6
    // (22 a8 84) to stop 7 (44 bf 70), 39 b7 77. |Q| from 0.001 to 0.004 puts 0.002 at a third
    // and 0.0025 at the middle, stop 5 (21 91 8c).
    const std::vector<Case> cases{
        {Colour::velocity, ">|velocity|<", {"1:#440154", "2:#fde725", "3:#31678d", "4:#39b777"}},
        {Colour::flow, ">|discharge|<", {"1:#fde725", "2:#440154", "3:#31678d", "4:#21918c"}},
    };
    const std::regex stroke("data-pipe=\"(\\d)\">[\\s\\S]*?<line [^>]*stroke=\"(#[0-9a-f]{6})\"/>");
    const std::regex fill("<circle [^>]*fill=\"(#[0-9a-f]{6})\"");
    for (const Case& c : cases) {
        RenderSettings settings;
        settings.colour = c.colour;
        const std::string svg = render_svg(network, settings);
        std::vector<std::string> strokes;
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), stroke);
             it != std::sregex_iterator(); ++it)
            strokes.push_back((*it)[1].str() + ":" + (*it)[2].str());
        EXPECT_EQ(strokes, c.strokes) << c.title;
        // The nodes are left white: one colour scale in the picture.
        std::size_t nodes = 0;
        for (auto it = std::sregex_iterator(svg.begin(), svg.end(), fill);
             it != std::sregex_iterator(); ++it, ++nodes)
            EXPECT_EQ((*it)[1].str(), "#ffffff") << c.title;
        EXPECT_EQ(nodes, 4u);
        EXPECT_NE(svg.find(c.title), std::string::npos);
        EXPECT_NE(svg.find(c.colour == Colour::velocity ? ">(m/s)<" : ">(m\xc2\xb3/s)<"),
                  std::string::npos);
    }
}

// A pump is drawn as a circle holding a triangle that points the way it lifts, from its start
// to its end node, with its state; a closed one grey on a dashed line; never an arrowhead.
TEST(RenderSvg, PumpsHaveTheirOwnSymbolPointingTheWayTheyLiftAndTheirState) {
    struct Case {
        const char* name;
        bool reversed; // drawn from node 2 to node 1: right to left
        const char* state;
        bool tip_right;
        const char* fill;
    };
    const std::vector<Case> cases{
        {"running left to right", false, "open", true, "#ffffff"},
        {"running right to left", true, "open", false, "#ffffff"},
        {"closed", false, "closed", true, "#bdbdbd"},
    };
    for (const Case& c : cases) {
        PlotNetwork network = grid(2); // pipe 1 joins node 1 (left) and node 2 (right)
        PlotPipe& pump = network.pipes[0];
        pump.pump = true;
        pump.state = c.state;
        pump.id = "U1";
        pump.head_loss = -30.0f;
        pump.discharge = c.state == std::string("open") ? 0.004f : 0.0f;
        if (c.reversed) std::swap(pump.start, pump.end);
        const std::string svg = render_svg(network, {});
        const std::size_t begin = svg.find("<g class=\"pipe pump\"");
        ASSERT_NE(begin, std::string::npos) << c.name;
        const std::string group = svg.substr(begin, svg.find("</g>", begin) - begin);
        EXPECT_NE(group.find(std::string("data-state=\"") + c.state + "\" data-pipe=\"1\""),
                  std::string::npos)
            << c.name << ": " << group;
        EXPECT_NE(group.find(std::string("<title>pump U1\n") + c.state), std::string::npos)
            << c.name;
        EXPECT_NE(group.find("head gain 30"), std::string::npos) << c.name;
        EXPECT_EQ(group.find("length"), std::string::npos) << c.name;
        EXPECT_EQ(group.find("class=\"arrow\""), std::string::npos) << c.name;
        EXPECT_EQ(group.find("stroke-dasharray") != std::string::npos,
                  c.state == std::string("closed"))
            << c.name;
        std::smatch circle, tip;
        ASSERT_TRUE(std::regex_search(group, circle,
                                      std::regex("<circle class=\"symbol\"[^>]*fill=\"(#[0-9a-f]+)"
                                                 "\"[^>]* cx=\"([-\\d.]+)\"")))
            << c.name << ": " << group;
        ASSERT_TRUE(std::regex_search(group, tip,
                                      std::regex("<path class=\"symbol\"[^>]*d=\"M([-\\d.]+),")))
            << c.name;
        EXPECT_EQ(circle[1].str(), c.fill) << c.name;
        EXPECT_EQ(std::stod(tip[1].str()) > std::stod(circle[2].str()), c.tip_right) << c.name;
        // Only the pump has the symbol: the pipes keep theirs.
        EXPECT_EQ(svg.find("class=\"symbol\"", begin + group.size()), std::string::npos) << c.name;
    }
}

// The group of the first element of class `kind` in an SVG, and where its pipe's line is drawn.
struct DrawnLink {
    std::string group;
    double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
};

DrawnLink drawn_link(const std::string& svg, const std::string& kind) {
    DrawnLink link;
    const std::size_t begin = svg.find("<g class=\"" + kind + "\"");
    if (begin == std::string::npos) return link;
    link.group = svg.substr(begin, svg.find("</g>", begin) - begin);
    std::smatch line;
    if (std::regex_search(link.group, line,
                          std::regex("<line x1=\"([-\\d.]+)\" y1=\"([-\\d.]+)\" x2=\"([-\\d.]+)\" "
                                     "y2=\"([-\\d.]+)\""))) {
        link.x1 = std::stod(line[1].str());
        link.y1 = std::stod(line[2].str());
        link.x2 = std::stod(line[3].str());
        link.y2 = std::stod(line[4].str());
    }
    return link;
}

// The symbols of a group: their fill and the mean x of their path's points.
std::vector<std::pair<std::string, double>> symbol_fills(const std::string& group) {
    std::vector<std::pair<std::string, double>> found;
    const std::regex path("<path class=\"symbol\"[^>]*fill=\"(#[0-9a-f]+)\" d=\"([^\"]*)\"");
    const std::regex point("([-\\d.]+),([-\\d.]+)");
    for (auto it = std::sregex_iterator(group.begin(), group.end(), path);
         it != std::sregex_iterator(); ++it) {
        const std::string d = (*it)[2].str();
        double sum = 0.0;
        int count = 0;
        for (auto p = std::sregex_iterator(d.begin(), d.end(), point); p != std::sregex_iterator();
             ++p, ++count)
            sum += std::stod((*p)[1].str());
        found.emplace_back((*it)[1].str(), count > 0 ? sum / count : 0.0);
    }
    return found;
}

// A valve is drawn as two triangles meeting at their tips in the middle of its link, its type
// in capitals on the side away from its name: both white when open, the half towards its end
// node black when active, both grey on a dashed line when closed; never an arrowhead.
TEST(RenderSvg, ValvesAreBowTiesMarkedWithTheirTypeAndState) {
    struct Case {
        const char* type;
        const char* state;
        bool reversed; // drawn from node 2 to node 1: right to left
        const char* left_fill;
        const char* right_fill;
    };
    const std::vector<Case> cases{
        {"prv", "active", false, "#ffffff", "#1a1a1a"},
        {"psv", "active", true, "#1a1a1a", "#ffffff"},
        {"fcv", "open", false, "#ffffff", "#ffffff"},
        {"tcv", "open", true, "#ffffff", "#ffffff"},
        {"pbv", "closed", false, "#757575", "#757575"},
        {"gpv", "closed", true, "#757575", "#757575"},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(c.type) + " " + c.state;
        PlotNetwork network = grid(2); // pipe 1 joins node 1 (left) and node 2 (right)
        network.inp = true;
        PlotPipe& valve = network.pipes[0];
        valve.valve = c.type;
        valve.state = c.state;
        valve.id = "V<1>";
        valve.setting = 30.0;
        valve.head_loss = 4.0f;
        valve.discharge = c.state == std::string("closed") ? 0.0f : 0.004f;
        if (c.reversed) std::swap(valve.start, valve.end);
        const std::string svg = render_svg(network, {});
        const DrawnLink link = drawn_link(svg, std::string("pipe valve ") + c.type);
        ASSERT_FALSE(link.group.empty()) << name;
        const std::string& group = link.group;
        EXPECT_NE(group.find(std::string("data-state=\"") + c.state + "\" data-pipe=\"1\""),
                  std::string::npos)
            << name << ": " << group;
        EXPECT_NE(group.find(std::string("<title>valve V&lt;1&gt; (") + c.type + ")\n" + c.state),
                  std::string::npos)
            << name << ": " << group;
        EXPECT_NE(group.find("\nsetting 30"), std::string::npos) << name;
        EXPECT_NE(group.find("\nhead loss 4"), std::string::npos) << name;
        EXPECT_EQ(group.find("length"), std::string::npos) << name;
        EXPECT_EQ(group.find("class=\"arrow\""), std::string::npos) << name;
        EXPECT_EQ(group.find("stroke-dasharray") != std::string::npos,
                  c.state == std::string("closed"))
            << name;
        const double middle_x = (link.x1 + link.x2) / 2.0;
        const auto fills = symbol_fills(group);
        ASSERT_EQ(fills.size(), 2U) << name << ": " << group;
        for (const auto& [fill, x] : fills)
            EXPECT_EQ(fill, x < middle_x ? c.left_fill : c.right_fill) << name << " at " << x;
        EXPECT_NE(fills[0].second < middle_x, fills[1].second < middle_x) << name;
        // The type below the level link; the name, when drawn, above it.
        std::smatch kind;
        ASSERT_TRUE(std::regex_search(group, kind,
                                      std::regex("<text class=\"kind\"[^>]* y=\"([-\\d.]+)\"[^>]*>"
                                                 "([^<]*)</text>")))
            << name << ": " << group;
        std::string upper = c.type;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(kind[2].str(), upper) << name;
        EXPECT_GT(std::stod(kind[1].str()), link.y1) << name;
        std::smatch label;
        const bool labelled = std::regex_search(
            group, label, std::regex("<text class=\"label\" x=\"[-\\d.]+\" y=\"([-\\d.]+)\""));
        EXPECT_TRUE(labelled) << name;
        if (labelled) {
            EXPECT_LT(std::stod(label[1].str()), link.y1) << name;
        }
        // Only the valve has a symbol, and the title counts it apart from the pipes.
        EXPECT_EQ(svg.find("class=\"symbol\"", svg.find(group) + group.size()), std::string::npos)
            << name;
        EXPECT_NE(svg.find("4 nodes, 3 pipes, 1 valves</text>"), std::string::npos) << name;
    }
}

// A check valve is drawn as a triangle pointing from its start to its end node against a bar:
// white when open, grey on a dashed line when closed; the pipe keeps its length in the title.
TEST(RenderSvg, CheckValvesPointTheOneWayWaterMayGoAndShowTheirState) {
    struct Case {
        const char* state;
        bool reversed;
        const char* fill;
    };
    for (const Case& c : std::vector<Case>{{"open", false, "#ffffff"},
                                           {"open", true, "#ffffff"},
                                           {"closed", false, "#757575"},
                                           {"closed", true, "#757575"}}) {
        const std::string name = std::string(c.state) + (c.reversed ? " right to left" : "");
        PlotNetwork network = grid(2);
        PlotPipe& pipe = network.pipes[0];
        pipe.check_valve = true;
        pipe.state = c.state;
        pipe.discharge = c.state == std::string("open") ? 0.004f : 0.0f;
        if (c.reversed) std::swap(pipe.start, pipe.end);
        const std::string svg = render_svg(network, {});
        const DrawnLink link = drawn_link(svg, "pipe check-valve");
        ASSERT_FALSE(link.group.empty()) << name;
        const std::string& group = link.group;
        EXPECT_NE(group.find(std::string("(check valve) (") + (c.reversed ? "2 to 1" : "1 to 2") +
                             ")\n" + c.state),
                  std::string::npos)
            << name << ": " << group;
        EXPECT_NE(group.find("\nlength 10"), std::string::npos) << name;
        EXPECT_EQ(group.find("class=\"arrow\""), std::string::npos) << name;
        EXPECT_EQ(group.find("stroke-dasharray") != std::string::npos,
                  c.state == std::string("closed"))
            << name;
        EXPECT_NE(group.find("class=\"symbol bar\""), std::string::npos) << name;
        std::smatch tip;
        ASSERT_TRUE(std::regex_search(group, tip,
                                      std::regex("<path class=\"symbol\"[^>]*fill=\"(#[0-9a-f]+)\" "
                                                 "d=\"M([-\\d.]+),")))
            << name << ": " << group;
        EXPECT_EQ(tip[1].str(), c.fill) << name;
        const double middle_x = (link.x1 + link.x2) / 2.0;
        EXPECT_EQ(std::stod(tip[2].str()) > middle_x, !c.reversed) << name;
        // A check valve is still a pipe: no valve in the title.
        EXPECT_NE(svg.find("4 nodes, 4 pipes</text>"), std::string::npos) << name;
    }
}

} // namespace
} // namespace pipenet::plot
