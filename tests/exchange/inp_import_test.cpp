// Converting .inp networks to turbnet inputs, one feature a fixture.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exchange/inp_import.hpp"
#include "exchange/inp_reader.hpp"

namespace pipenet::exchange {
namespace {

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(FIXTURES) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Import {
    bool read_ok = false;
    bool ok = false;
    ImportedNetwork net;
    std::vector<Diagnostic> diagnostics;

    std::string messages() const {
        std::string out;
        for (const Diagnostic& d : diagnostics) out += describe(d, "net.inp") + "\n";
        return out;
    }
    std::int32_t number(const std::string& id) const {
        auto it = std::find(net.node_ids.begin(), net.node_ids.end(), id);
        return it == net.node_ids.end() ? 0
                                        : static_cast<std::int32_t>(it - net.node_ids.begin() + 1);
    }
    const NodeRecord& node(const std::string& id) const {
        return *std::find_if(net.records.nodes.begin(), net.records.nodes.end(),
                             [&](const NodeRecord& r) { return r.node == number(id); });
    }
    // The known discharge at a node; 0 without a record.
    float discharge(const std::string& id) const {
        for (const DischargeRecord& d : net.records.discharges)
            if (d.node == number(id)) return d.discharge;
        return 0.0f;
    }
    float head(const std::string& id) const {
        for (const HeadRecord& h : net.records.heads)
            if (h.node == number(id)) return h.head;
        return std::nanf("");
    }
    bool says(const std::string& text) const { return messages().find(text) != std::string::npos; }
};

Import import_text(const std::string& text) {
    Import r;
    InpNetwork inp;
    r.read_ok = read_inp(text, inp, r.diagnostics);
    if (r.read_ok) r.ok = import_network(inp, r.net, r.diagnostics);
    return r;
}

TEST(ImportInp, ConvertsUsUnitsToMetresAndCubicMetresPerSecond) {
    Import r = import_text(fixture("units-us.inp"));
    ASSERT_TRUE(r.ok) << r.messages();
    // 200 ft; 150 gal/min of 3.785411784 L; 1000 ft; 12 in.
    EXPECT_EQ(r.head("R1"), 60.96f);
    EXPECT_EQ(r.discharge("J1"), static_cast<float>(-150 * 0.003785411784 / 60));
    EXPECT_EQ(r.node("J1").x, 304.8f);
    ASSERT_EQ(r.net.records.elements.size(), 1u);
    EXPECT_FLOAT_EQ(r.net.records.elements[0].diameter, 0.3048f);
    EXPECT_EQ(r.net.records.relative_roughness, 100.0f);
    EXPECT_EQ(r.net.records.program, Program::turbnet);
}

// One junction with a demand of 1 in each flow unit, and a 10-unit elevation of the reservoir.
TEST(ImportInp, ConvertsEveryFlowUnit) {
    struct Case {
        const char* units;
        double cubic_metres_per_second; // of one unit
        double metres;                  // of one length unit
    };
    const Case cases[] = {
        {"CFS", 0.028316846592, 0.3048},
        {"GPM", 0.003785411784 / 60, 0.3048},
        {"MGD", 3785.411784 / 86400, 0.3048},
        {"IMGD", 4546.09 / 86400, 0.3048},
        {"AFD", 1233.48183754752 / 86400, 0.3048},
        {"LPS", 0.001, 1.0},
        {"LPM", 0.001 / 60, 1.0},
        {"MLD", 1000.0 / 86400, 1.0},
        {"CMH", 1.0 / 3600, 1.0},
        {"CMD", 1.0 / 86400, 1.0},
        {"CMS", 1.0, 1.0},
    };
    for (const Case& c : cases) {
        Import r = import_text(std::string("[JUNCTIONS]\n J 0 1\n[RESERVOIRS]\n R 10\n[PIPES]\n"
                                           " P R J 100 10 100\n[COORDINATES]\n R 0 0\n J 0 50\n"
                                           "[OPTIONS]\n Units ") +
                               c.units + "\n");
        ASSERT_TRUE(r.ok) << c.units << r.messages();
        EXPECT_FLOAT_EQ(r.discharge("J"), static_cast<float>(-c.cubic_metres_per_second))
            << c.units;
        EXPECT_FLOAT_EQ(r.head("R"), static_cast<float>(10 * c.metres)) << c.units;
        EXPECT_FLOAT_EQ(r.node("J").y, static_cast<float>(50 * c.metres)) << c.units;
    }
}

TEST(ImportInp, TakesDemandsAtTheStartTime) {
    Import r = import_text(fixture("patterns.inp"));
    ASSERT_TRUE(r.ok) << r.messages();
    // A: 10 x 0.5 (pattern "1") x 1.5; B: 10 x 2.0 x 1.5; C: (4 x 2.0 + 6 x 0.5) x 1.5; in L/s.
    EXPECT_FLOAT_EQ(r.discharge("A"), -0.0075f);
    EXPECT_FLOAT_EQ(r.discharge("B"), -0.03f);
    EXPECT_FLOAT_EQ(r.discharge("C"), -0.0165f);
    // The reservoir's head times its pattern's first multiplier.
    EXPECT_FLOAT_EQ(r.head("R"), 55.0f);

    // The Pattern option names the default pattern instead of "1".
    std::string text = fixture("patterns.inp") + "[OPTIONS]\n Pattern P2\n";
    Import named = import_text(text);
    ASSERT_TRUE(named.ok) << named.messages();
    EXPECT_FLOAT_EQ(named.discharge("A"), -0.03f);
    EXPECT_FLOAT_EQ(named.discharge("C"), -0.03f); // (4 x 2.0 + 6 x 2.0) x 1.5 L/s
}

TEST(ImportInp, GivesTanksTheirInitialHead) {
    Import r = import_text(fixture("tanks.inp"));
    ASSERT_TRUE(r.ok) << r.messages();
    EXPECT_EQ(r.head("T"), 105.0f);
    EXPECT_FLOAT_EQ(r.discharge("J"), static_cast<float>(-5.0 / 3600));
    ASSERT_EQ(r.net.records.elements.size(), 1u);
    // The pipe is as long as its coordinates: its diameter stays 300 mm.
    EXPECT_EQ(r.net.records.elements[0].diameter, 0.3f);
}

TEST(ImportInp, RefusesEveryElementItCannotRepresent) {
    Import r = import_text(fixture("refused.inp"));
    ASSERT_TRUE(r.read_ok) << r.messages();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages(),
              "net.inp:18: error: pump 'PU1' cannot be represented: the programs have pipes only\n"
              "net.inp:21: error: valve 'V1' cannot be represented: the programs have pipes only\n"
              "net.inp:14: error: pipe 'P2' is a check valve, which cannot be represented\n"
              "net.inp:24: error: emitter at junction 'J3' cannot be represented\n"
              "net.inp:34: error: head-loss formula D-W cannot be represented: the programs use "
              "Hazen-Williams only\n");
}

// Thousands of refused elements are a few lines, each kind counted; the pipes' own faults come
// in the same pass.
TEST(ImportInp, SumsUpManyRefusalsOfOneKind) {
    std::string text = "[JUNCTIONS]\n";
    for (int j = 1; j <= 12; ++j) text += " J" + std::to_string(j) + " 0\n"; // lines 2-13
    text += "[RESERVOIRS]\n R 50\n[PIPES]\n P0 R J1 0 100 100\n[VALVES]\n";  // pipe: line 17
    for (int v = 1; v <= 11; ++v)                                            // lines 19-29
        text += " V" + std::to_string(v) + " J" + std::to_string(v) + " J" + std::to_string(v + 1) +
                " 100 PRV 10 0\n";
    Import r = import_text(text);
    ASSERT_TRUE(r.read_ok) << r.messages();
    EXPECT_FALSE(r.ok);
    const std::string valve = "' cannot be represented: the programs have pipes only\n";
    EXPECT_EQ(r.messages(), "net.inp:19: error: valve 'V1" + valve +
                                "net.inp:20: error: valve 'V2" + valve +
                                "net.inp:21: error: valve 'V3" + valve +
                                "net.inp:22: error: ... and 8 more valves (lines 22 to 29): 11 in "
                                "all\n"
                                "net.inp:17: error: pipe 'P0' needs a positive length, diameter "
                                "and roughness\n");
}

TEST(ImportInp, LaysOutNodesWithoutCoordinates) {
    Import r = import_text(fixture("missing-coordinates.inp"));
    ASSERT_TRUE(r.ok) << r.messages();
    EXPECT_TRUE(r.says("net.inp: warning: 2 nodes have no coordinates and were laid out on a grid "
                       "250 m apart (first: 'J2')"))
        << r.messages();
    // Every pipe has a length, and keeps its coefficient with that length.
    for (const ElementRecord& e : r.net.records.elements) {
        const NodeRecord& a = r.net.records.nodes[static_cast<std::size_t>(e.start_node - 1)];
        const NodeRecord& b = r.net.records.nodes[static_cast<std::size_t>(e.end_node - 1)];
        double length = std::hypot(double{b.x} - a.x, double{b.y} - a.y);
        ASSERT_GT(length, 0.0);
        double coefficient = 110 * std::pow(double{e.diameter}, 2.63) / std::pow(length, 0.54);
        double original = 110 * std::pow(0.15, 2.63) / std::pow(250.0, 0.54);
        EXPECT_NEAR(coefficient / original, 1.0, 1e-6);
    }
}

// Two roughness values: the header takes the commoner, and every pipe keeps its coefficient
// 0.2784 C D^2.63 / L^0.54 with its coordinate length.
TEST(ImportInp, KeepsEveryPipeCoefficientWithOneRoughness) {
    Import r = import_text("[JUNCTIONS]\n A 0 1\n B 0 1\n C 0 1\n[RESERVOIRS]\n R 30\n"
                           "[PIPES]\n 1 R A 120 300 130\n 2 A B 300 250 130\n 3 B C 90 200 80\n"
                           " 4 C R 500 150 130\n"
                           "[COORDINATES]\n R 0 0\n A 100 0\n B 100 250\n C 0 250\n"
                           "[OPTIONS]\n Units LPS\n");
    ASSERT_TRUE(r.ok) << r.messages();
    EXPECT_EQ(r.net.records.relative_roughness, 130.0f);
    EXPECT_TRUE(r.says("single roughness (Hazen-Williams C) 130, the value of 3 of 4 pipes"));
    const double inp[][3] = {
        {120, 0.300, 130}, {300, 0.250, 130}, {90, 0.200, 80}, {500, 0.150, 130}};
    ASSERT_EQ(r.net.records.elements.size(), 4u);
    for (const ElementRecord& e : r.net.records.elements) {
        const NodeRecord& a = r.net.records.nodes[static_cast<std::size_t>(e.start_node - 1)];
        const NodeRecord& b = r.net.records.nodes[static_cast<std::size_t>(e.end_node - 1)];
        double length = std::hypot(double{b.x} - a.x, double{b.y} - a.y);
        const double* p = inp[e.element - 1];
        double want = p[2] * std::pow(p[1], 2.63) / std::pow(p[0], 0.54);
        double got = 130 * std::pow(double{e.diameter}, 2.63) / std::pow(length, 0.54);
        EXPECT_NEAR(got / want, 1.0, 3e-7) << "pipe " << e.element;
    }
    // Pipe 3, 90 m of C 80 drawn 100 m long: (80/130)^(1/2.63) (100/90)^(0.54/2.63) x 200 mm.
    EXPECT_TRUE(
        r.says("largest equivalent-diameter change: pipe '3', 0.2 m to 0.169923 m (-15.0384 %)"))
        << r.messages();
}

TEST(ImportInp, LeavesOutClosedPipesAndDropsMinorLosses) {
    Import r = import_text("[JUNCTIONS]\n A 0 1\n B 0 1\n[RESERVOIRS]\n R 30\n"
                           "[PIPES]\n 1 R A 100 300 130 2.5\n 2 A B 100 250 130 0 Closed\n"
                           " 3 R B 100 250 130 0 Open\n"
                           "[STATUS]\n 3 Closed\n 2 Open\n"
                           "[COORDINATES]\n R 0 0\n A 100 0\n B 0 100\n"
                           "[OPTIONS]\n Units LPS\n");
    ASSERT_TRUE(r.ok) << r.messages();
    EXPECT_TRUE(r.says("net.inp:7: warning: pipe '1': minor loss coefficient 2.5 dropped"));
    EXPECT_TRUE(r.says("net.inp:11: note: pipe '3' is closed and is left out"));
    ASSERT_EQ(r.net.pipe_ids, (std::vector<std::string>{"1", "2"}));
}

TEST(ImportInp, MovesANodeLyingOnTheOtherEndOfItsPipe) {
    Import r = import_text("[JUNCTIONS]\n A 0 1\n[RESERVOIRS]\n R 30\n"
                           "[PIPES]\n 1 R A 100 300 130\n"
                           "[COORDINATES]\n R 5 5\n A 5 5\n[OPTIONS]\n Units LPS\n");
    ASSERT_TRUE(r.ok) << r.messages();
    EXPECT_TRUE(r.says("net.inp:6: warning: node 'A' lay on node 'R', the other end of pipe '1': "
                       "moved by 1 m"))
        << r.messages();
    EXPECT_EQ(r.node("A").x, 6.0f);
    // The 1 m pipe stands for 100 m: D (1/100)^(0.54/2.63).
    EXPECT_FLOAT_EQ(r.net.records.elements[0].diameter,
                    static_cast<float>(0.3 * std::pow(0.01, 0.54 / 2.63)));
}

TEST(ImportInp, WritesANetworkBeyondTheCapacitiesWithWarnings) {
    // A chain of 120 junctions, with a reservoir beside every third of the first 105.
    std::string text = "[JUNCTIONS]\n";
    for (int j = 1; j <= 120; ++j) text += " J" + std::to_string(j) + " 0 1\n";
    text += "[RESERVOIRS]\n";
    for (int k = 1; k <= 35; ++k) text += " R" + std::to_string(k) + " 50\n";
    text += "[PIPES]\n";
    for (int j = 1; j < 120; ++j)
        text += " P" + std::to_string(j) + " J" + std::to_string(j) + " J" + std::to_string(j + 1) +
                " 10 100 100\n";
    for (int k = 1; k <= 35; ++k)
        text += " Q" + std::to_string(k) + " J" + std::to_string(3 * k) + " R" + std::to_string(k) +
                " 10 100 100\n";
    text += "[OPTIONS]\n Units LPS\n";
    Import r = import_text(text);
    ASSERT_TRUE(r.ok) << r.messages();
    EXPECT_EQ(r.net.records.nodes.size(), 155u);
    EXPECT_TRUE(r.says("warning: 155 nodes exceed the programs' capacity of 100; written anyway"));
    EXPECT_TRUE(r.says("warning: 154 pipes exceed the programs' capacity of 100; written anyway"));
    EXPECT_TRUE(r.says("warning: 35 nodes with known head exceed the programs' capacity of 30; "
                       "written anyway"));
    // Numbered in file order, the reservoirs lie far from their junctions; renumbered, the
    // band fits.
    EXPECT_EQ(r.net.half_band_before, 121 - 3 + 1); // R1 (121) and J3
    EXPECT_LE(r.net.half_band_after, 4);
    EXPECT_TRUE(r.says("155 nodes have no coordinates"));
}

TEST(ImportInp, SaysByHowMuchTheBandExceedsTheLimit) {
    // A star of 50 junctions around one reservoir: any numbering needs 26.
    std::string text = "[RESERVOIRS]\n R 10\n[JUNCTIONS]\n";
    for (int j = 1; j <= 50; ++j) text += " J" + std::to_string(j) + " 0 1\n";
    text += "[PIPES]\n";
    for (int j = 1; j <= 50; ++j)
        text += " P" + std::to_string(j) + " R J" + std::to_string(j) + " 10 100 100\n";
    Import r = import_text(text);
    ASSERT_TRUE(r.ok) << r.messages();
    EXPECT_GT(r.net.half_band_after, 20);
    EXPECT_TRUE(r.says("half-bandwidth " + std::to_string(r.net.half_band_after) +
                       " exceeds the programs' limit of 20 by " +
                       std::to_string(r.net.half_band_after - 20) + "; written anyway"));
}

TEST(ImportInp, MapsIdsToNumbers) {
    Import r = import_text("[JUNCTIONS]\n \"a,b\" 0 1\n[RESERVOIRS]\n R 30\n[PIPES]\n"
                           " p R \"a,b\" 100 300 130\n[OPTIONS]\n Units LPS\n");
    ASSERT_TRUE(r.read_ok) << r.messages();
    ASSERT_TRUE(r.ok) << r.messages();
    std::string csv = id_map_csv(r.net);
    // No coordinates: the nodes are laid out 100 m apart, as long as the pipe, which keeps its
    // diameter.
    EXPECT_EQ(csv, "kind,id,number,length,diameter,equivalent_diameter,diameter_change_percent\n"
                   "node,\"a,b\"," +
                       std::to_string(r.number("a,b")) + ",,,,\nnode,R," +
                       std::to_string(r.number("R")) + ",,,,\npipe,p,1,100,0.3,0.3,0.000\n");
}

// A pipe whose file length differs from its coordinates' is written as an equivalent pipe: the
// output says how many, the map by how much.
TEST(ImportInp, SaysWhichPipesAreEquivalentAndByHowMuch) {
    Import r = import_text("[JUNCTIONS]\n J 0 1\n K 0 1\n[RESERVOIRS]\n R 30\n[PIPES]\n"
                           " long R J 200 300 130\n exact J K 100 250 130\n"
                           "[COORDINATES]\n R 0 0\n J 100 0\n K 200 0\n[OPTIONS]\n Units LPS\n");
    ASSERT_TRUE(r.ok) << r.messages();
    EXPECT_TRUE(r.says("net.inp: note: 1 of 2 pipes are written as equivalent pipes"))
        << r.messages();
    // 200 m in the file, 100 m between its ends: D (100 / 200)^(0.54 / 2.63), 13.27 % smaller.
    const double equivalent = 0.3 * std::pow(0.5, 0.54 / 2.63);
    const std::string csv = id_map_csv(r.net);
    std::array<char, 80> line{};
    std::snprintf(line.data(), line.size(), "pipe,long,1,200,0.3,%.6g,%.3f\n",
                  static_cast<double>(static_cast<float>(equivalent)),
                  100 * (equivalent / 0.3 - 1));
    EXPECT_NE(csv.find(line.data()), std::string::npos) << csv << line.data();
    EXPECT_NE(csv.find("pipe,exact,2,100,0.25,0.25,0.000\n"), std::string::npos) << csv;
}

TEST(ImportInpText, WritesTheInputFileAndTheMap) {
    std::string input;
    std::string map;
    ImportedNetwork imported;
    std::vector<Diagnostic> diagnostics;
    ASSERT_TRUE(import_inp_text(fixture("tanks.inp"), input, map, imported, diagnostics));
    // J is node 1, T node 2: one pipe, 300 mm, C 130; 5 m3/h drawn at J; T at 100 + 5 m.
    EXPECT_EQ(input, "         2         1         1         1        50 0.0000010    130.0000000\n"
                     "         1    300.00    400.00\n"
                     "         2      0.00      0.00\n"
                     "         1         2         1   0.30000\n"
                     "         1-.0013888889\n"
                     "         2  105.0000\n");
    EXPECT_EQ(map, "kind,id,number,length,diameter,equivalent_diameter,diameter_change_percent\n"
                   "node,J,1,,,,\nnode,T,2,,,,\npipe,P,1,500,0.3,0.3,0.000\n");

    // A refusal leaves both empty.
    diagnostics.clear();
    EXPECT_FALSE(import_inp_text(fixture("refused.inp"), input, map, imported, diagnostics));
    EXPECT_TRUE(input.empty());
    EXPECT_TRUE(map.empty());
    EXPECT_EQ(diagnostics.size(), 5u);
}

TEST(EquivalentDiameter, KeepsThePipeCoefficient) {
    // Same length and roughness: unchanged.
    EXPECT_DOUBLE_EQ(equivalent_diameter(0.3, 100, 120, 100, 120), 0.3);
    // Half the length at the same roughness: D (1/2)^(0.54/2.63).
    EXPECT_DOUBLE_EQ(equivalent_diameter(0.3, 100, 120, 50, 120), 0.3 * std::pow(0.5, 0.54 / 2.63));
    // Rougher header value: a wider pipe.
    EXPECT_DOUBLE_EQ(equivalent_diameter(0.3, 100, 120, 100, 100), 0.3 * std::pow(1.2, 1 / 2.63));
}

} // namespace
} // namespace pipenet::exchange
