// Writing turbnet and lamnet inputs as .inp files.
#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exchange/inp_export.hpp"
#include "exchange/inp_reader.hpp"

namespace pipenet::exchange {
namespace {

// The small water main of the input-format guide.
const std::string water_main =
    "         4         5         3         1        20 0.0000010    130.0000000\n"
    "         1      0.00      0.00\n"
    "         2    600.00      0.00\n"
    "         3    600.00    400.00\n"
    "         4      0.00    400.00\n"
    "         1         1         2   0.30000\n"
    "         2         2         3   0.20000\n"
    "         3         1         4   0.25000\n"
    "         4         4         3   0.20000\n"
    "         5         2         4   0.15000\n"
    "         2     -0.0300\n"
    "         3     -0.0500\n"
    "         4     -0.0200\n"
    "         1   50.0000\n";

// Four capillary tubes in cm and s.
const std::string capillary_loop = "         4         4         2         1    97900.\n"
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

std::string exported(const std::string& input, Program program, LengthUnit unit,
                     std::vector<Diagnostic>& diagnostics) {
    NetworkRecords records;
    std::string error;
    EXPECT_TRUE(read_network_records(input, program, records, error)) << error;
    std::string text;
    EXPECT_TRUE(export_network(records, unit, text, diagnostics));
    return text;
}

TEST(ExportInp, WritesATurbnetNetworkInSiUnitsWithFlowsInLitresPerSecond) {
    std::vector<Diagnostic> diagnostics;
    // Demands are the known discharges with the sign turned, in L/s; pipe 5 is the diagonal of
    // the 600 x 400 m rectangle, the float the programs compute for it written exactly.
    EXPECT_EQ(exported(water_main, Program::turbnet, LengthUnit::centimetre, diagnostics),
              "[TITLE]\n"
              "turbnet network: Hazen-Williams pipes, SI units, flows in L/s\n"
              "\n[JUNCTIONS]\n;ID\tElevation\tDemand\n"
              " 2\t0\t30\n 3\t0\t50\n 4\t0\t20\n"
              "\n[RESERVOIRS]\n;ID\tHead\n 1\t50\n"
              "\n[PIPES]\n;ID\tNode1\tNode2\tLength\tDiameter\tRoughness\tMinorLoss\tStatus\n"
              " 1\t1\t2\t600\t300\t130\t0\tOpen\n"
              " 2\t2\t3\t400\t200\t130\t0\tOpen\n"
              " 3\t1\t4\t400\t250\t130\t0\tOpen\n"
              " 4\t4\t3\t600\t200\t130\t0\tOpen\n"
              " 5\t2\t4\t721.1102294921875\t150\t130\t0\tOpen\n"
              "\n[COORDINATES]\n;Node\tX-Coord\tY-Coord\n"
              " 1\t0\t0\n 2\t600\t0\n 3\t600\t400\n 4\t0\t400\n"
              "\n[OPTIONS]\n Units\tLPS\n Headloss\tH-W\n"
              "\n[REPORT]\n Status\tNo\n Summary\tNo\n Nodes\tAll\n Links\tAll\n"
              "\n[END]\n");
    EXPECT_TRUE(diagnostics.empty());
}

// The laminar Darcy-Weisbach pipe, f = 64/Re, has h = 128 nu L Q / (g pi D^4): with
// nu = g / (rho g / mu) its discharge is lamnet's (rho g / mu) pi D^4 / (128 L) dh.
TEST(ExportInp, WritesALamnetNetworkAsLaminarDarcyWeisbachPipes) {
    std::vector<Diagnostic> diagnostics;
    std::string text =
        exported(capillary_loop, Program::lamnet, LengthUnit::centimetre, diagnostics);
    EXPECT_NE(text.find("lamnet lengths taken in cm and time in s; kinematic viscosity "
                        "g/(rho*g/mu) = 0.0000010017007150153218 m2/s with g = 9.80665 m/s2\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(" Headloss\tD-W\n Viscosity\t0.9802015237071817\n"), std::string::npos)
        << text;
    // 80 cm, 2 mm, 0.0006 L/s, 1.2 m; a roughness a solver accepts, which 64/Re does not use.
    EXPECT_NE(text.find(" 1\t1\t2\t0.8\t2\t0.001\t0\tOpen\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" 3\t0\t0.0006\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" 1\t1.2\n"), std::string::npos) << text;

    // Every pipe's laminar conductance, from the file's own values, is lamnet's in SI units.
    InpNetwork net;
    ASSERT_TRUE(read_inp(text, net, diagnostics));
    EXPECT_EQ(net.options.headloss, HeadLoss::darcy_weisbach);
    double nu = net.options.viscosity * reference_viscosity;
    const double lamnet_cm[][2] = {{80, 0.2}, {60, 0.15}, {60, 0.15}, {80, 0.2}}; // L, D
    ASSERT_EQ(net.pipes.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        double length = net.pipes[i].length;
        double diameter = net.pipes[i].diameter / 1000.0;
        double darcy_weisbach =
            standard_gravity * std::numbers::pi * std::pow(diameter, 4) / (128 * nu * length);
        // (cm^3/s) / cm in m^3/s per m: 1e-6 / 1e-2.
        double lamnet = 97900 * std::numbers::pi * std::pow(lamnet_cm[i][1], 4) /
                        (128 * lamnet_cm[i][0]) * 1e-4;
        EXPECT_NEAR(darcy_weisbach / lamnet, 1.0, 1e-12) << "pipe " << i + 1;
    }
}

TEST(ExportInp, TakesLamnetLengthsInMetresOnRequest) {
    std::vector<Diagnostic> diagnostics;
    std::string text = exported(capillary_loop, Program::lamnet, LengthUnit::metre, diagnostics);
    // 80 m, 200 mm, 0.6 m3/s = 600 L/s; nu = 9.80665 / 97900 m2/s.
    EXPECT_NE(text.find(" 1\t1\t2\t80\t200\t0.001\t0\tOpen\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" 3\t0\t600\n"), std::string::npos) << text;
    EXPECT_NE(text.find("lamnet lengths taken in m and time in s"), std::string::npos) << text;
    EXPECT_NE(text.find("g/(rho*g/mu) = 0.00010017007150153216 m2/s"), std::string::npos) << text;
}

TEST(ExportInputText, NamesTheLineThatCannotBeRead) {
    std::string inp;
    std::vector<Diagnostic> diagnostics;
    // The header and the first node record only: node record 2 is missing.
    EXPECT_FALSE(export_input_text(water_main.substr(0, 76 + 31), Program::turbnet,
                                   LengthUnit::centimetre, inp, diagnostics));
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0].text, "line 3: the file ends before it");
    diagnostics.clear();
    EXPECT_TRUE(
        export_input_text(water_main, Program::turbnet, LengthUnit::centimetre, inp, diagnostics));
    EXPECT_TRUE(inp.starts_with("[TITLE]\nturbnet network"));
}

TEST(ExportInp, RefusesWhatAFileCannotHold) {
    struct Case {
        const char* name;
        std::string input;
        std::string message;
    };
    std::string duplicate_pipe = water_main;
    duplicate_pipe.replace(duplicate_pipe.find("         5         2         4"), 10, "         4");
    std::string zero_diameter = water_main;
    zero_diameter.replace(zero_diameter.find("0.15000"), 7, "0.00000");
    std::string coincident = water_main;
    coincident.replace(coincident.find("    600.00      0.00"), 20, "      0.00      0.00");
    std::string no_node = water_main;
    no_node.replace(no_node.find("         1   50.0000"), 10, "         7");
    const Case cases[] = {
        {"a pipe number twice", duplicate_pipe,
         "the input cannot be exported: the pipes are not numbered 1 ... their count once each"},
        {"a pipe without diameter", zero_diameter,
         "the input cannot be exported: pipe 5 has no length or no diameter"},
        {"a pipe without length", coincident,
         "the input cannot be exported: pipe 1 has no length or no diameter"},
        {"a head at no node", no_node,
         "the input cannot be exported: known head at node 7, outside 1 ... 4"},
    };
    for (const Case& c : cases) {
        NetworkRecords records;
        std::string error;
        ASSERT_TRUE(read_network_records(c.input, Program::turbnet, records, error)) << c.name;
        std::vector<Diagnostic> diagnostics;
        std::string text;
        EXPECT_FALSE(export_network(records, LengthUnit::centimetre, text, diagnostics)) << c.name;
        ASSERT_EQ(diagnostics.size(), 1u) << c.name;
        EXPECT_EQ(diagnostics[0].text, c.message) << c.name;
    }
}

TEST(ExportInp, LeavesOutADischargeAtAKnownHeadWithANote) {
    std::string input = water_main;
    input.replace(input.find("         4     -0.0200"), 10, "         1");
    std::vector<Diagnostic> diagnostics;
    std::string text = exported(input, Program::turbnet, LengthUnit::centimetre, diagnostics);
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0].text,
              "node 1 has a known head: its known discharge has no effect and is not exported");
    EXPECT_NE(text.find(" 4\t0\t0\n"), std::string::npos) << text;
}

} // namespace
} // namespace pipenet::exchange
