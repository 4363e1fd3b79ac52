// Reading and echoing the input file, for both programs, from files held in memory.
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "frontend/messages.hpp"
#include "network/checks.hpp"
#include "network/read_input.hpp"
#include "report/test_streams.hpp"

namespace pipenet {
namespace {

// The checks as the programs run them: the fault's message in the report (both programs word
// these alike). Returns whether the network passes.
[[maybe_unused]] bool check_and_report(RecordIo& io, const Network& net) {
    const Fault fault = check_network(net);
    if (fault) write_fault(io, Program::lamnet, fault);
    return !fault;
}

using testing::MemoryRun;

// One run of read_input on an input file given as text.
struct InputRun {
    explicit InputRun(std::string text) : input(std::move(text)), source(input) {
        run.io.use_input_source(source);
    }
    // Reads the file; returns the exit status a failure ends the run with, or -1.
    int read(Program program) {
        try {
            read_input(run.io, program, *net);
        } catch (const RunEnded& ended) {
            return ended.status;
        }
        return -1;
    }
    // What check_network adds to the report, and whether the network passes.
    std::string check(bool& passes) {
        std::size_t before = run.flushed_report().size();
        passes = check_and_report(run.io, *net);
        return run.flushed_report().substr(before);
    }

    std::string input;
    MemorySource source;
    MemoryRun run;
    std::unique_ptr<FixedNetwork> net = std::make_unique<FixedNetwork>();
};

const std::string lamnet_banner = " " + std::string(130, '*') + "\n";
const std::string turbnet_banner = " " + std::string(70, '*') + "\n";
const std::string node_heading = "\n nodal coordinates\n       node      x         y\n";
const std::string element_heading = "\n element connectivity and diameter \n"
                                    "    element    start node    end node      diameter\n";
const std::string discharge_heading = "\n nodal discharges \n        node     value\n";
const std::string boundary_heading = "\n    boundary   condition   data \n"
                                     "        node     prescribed   values\n";

// The four count lines of the input-data block, each count given as its I5 text.
std::string count_lines(std::string_view nodes, std::string_view elements,
                        std::string_view discharges, std::string_view heads) {
    return "\n\n internal data\n\n number of nodes\t: " + std::string(nodes) +
           "\n number of elements\t: " + std::string(elements) +
           "\n numder of nodes with known discharge\t: " + std::string(discharges) +
           "\n number of nodes with known head\t: " + std::string(heads) + "\n";
}

// Three nodes given in the order 3, 1, 2 (node 1 by a short record), two pipes, a known
// discharge given twice for node 2, one known head, and a line the counts never reach.
const std::string body = "         3      1234     250.0\n"
                         "         1\n"
                         "         2     100.0       1.5\n"
                         "         1         1         2     0.300\n"
                         "         2         3         2        25\n"
                         "         2      -0.0100\n"
                         "         2       -0.02\n"
                         "         1    100.0\n"
                         "this line lies beyond the counts\n";

// The echo from the element heading on; the same for both programs.
const std::string echo_from_elements = element_heading +
                                       "         1         1           2           0.30000\n"
                                       "         2         3           2           0.00025\n"
                                       "\n---- half-bandwidth is equal to    2 ----\n\n" +
                                       discharge_heading +
                                       "         2     -0.0100\n"
                                       "         2     -0.0200\n" +
                                       boundary_heading + "         1            100.0000\n";

struct ProgramCase {
    Program program;
    std::string header;
    std::string expected;
};

std::ostream& operator<<(std::ostream& os, const ProgramCase& c) {
    return os << (c.program == Program::lamnet ? "lamnet" : "turbnet");
}

class ReadInputTest : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ReadInputTest, StoresUnderRecordNumbersAndEchoes) {
    const ProgramCase& c = GetParam();
    InputRun in(c.header + body);
    // The known discharges start from zero whatever the storage held before.
    for (std::int32_t n = 1; n <= band_rows; ++n) in.net->rhs(n) = 5.0f;

    ASSERT_EQ(in.read(c.program), -1) << in.run.errors;
    EXPECT_EQ(in.run.flushed_report(), c.expected);
    EXPECT_EQ(in.run.errors, "");

    const Network& net = *in.net;
    EXPECT_EQ(net.node_count, 3);
    EXPECT_EQ(net.element_count, 2);
    EXPECT_EQ(net.known_discharge_count, 2);
    EXPECT_EQ(net.known_head_count, 1);
    EXPECT_EQ(net.equation_count, 3);
    EXPECT_EQ(net.half_band, 2);
    EXPECT_EQ(net.x(1), 0.0f);
    EXPECT_EQ(net.y(1), 0.0f);
    EXPECT_EQ(net.x(2), 100.0f);
    EXPECT_EQ(net.y(2), 1.5f);
    EXPECT_EQ(net.x(3), 12.34f);
    EXPECT_EQ(net.y(3), 250.0f);
    EXPECT_EQ(net.connectivity.start_node(1), 1);
    EXPECT_EQ(net.connectivity.end_node(1), 2);
    EXPECT_EQ(net.connectivity.start_node(2), 3);
    EXPECT_EQ(net.connectivity.end_node(2), 2);
    EXPECT_EQ(net.diameter(1), 0.3f);
    EXPECT_EQ(net.diameter(2), 0.00025f);
    EXPECT_EQ(net.known_discharge(1), 0.0f);
    EXPECT_EQ(net.known_discharge(2), -0.02f); // the later of the two records
    EXPECT_EQ(net.known_discharge(3), 0.0f);
    EXPECT_EQ(net.prescribed_head(1), 100.0f);
    EXPECT_EQ(net.boundary_nodes.node(1), 1);
    EXPECT_EQ(net.boundary_nodes.flag(1), 0);
    if (c.program == Program::lamnet) {
        EXPECT_EQ(net.rho_g_over_mu, 9810.0f);
    } else {
        EXPECT_EQ(net.max_iterations, 20);
        EXPECT_EQ(net.tolerance, 1.0e-7f);
        EXPECT_EQ(net.relative_roughness, 130.0f);
    }

    bool passes = false;
    EXPECT_EQ(in.check(passes), "");
    EXPECT_TRUE(passes);
}

// lamnet echoes each node record as read (3, 1, 2); turbnet echoes nodes 1, 2, 3 after the
// whole group. F15.2 of 9810 is "9810.00" after 8 blanks; F10.7 of 1.0e-7 is "0.0000001"
// after one blank; F15.7 of 130 is "130.0000000" after 4 blanks.
INSTANTIATE_TEST_SUITE_P(
    Network, ReadInputTest,
    ::testing::Values(
        ProgramCase{Program::lamnet, "         3         2         2         1      9810\n",
                    lamnet_banner + count_lines("    3", "    2", "    2", "    1") +
                        " value of density*gravity acc./viscosity\t:         9810.00\n" +
                        node_heading +
                        "         3     12.34    250.00\n"
                        "         1      0.00      0.00\n"
                        "         2    100.00      1.50\n" +
                        echo_from_elements},
        ProgramCase{Program::turbnet,
                    "         3         2         2         1        20         1          130.0\n",
                    turbnet_banner + count_lines("    3", "    2", "    2", "    1") +
                        " maximum number of iterations\t:    20\n"
                        " tolerance\t:                  0.0000001\n\n"
                        " relative roughness\t:     130.0000000\n" +
                        node_heading +
                        "         1      0.00      0.00\n"
                        "         2    100.00      1.50\n"
                        "         3     12.34    250.00\n" +
                        echo_from_elements}));

// Without nodes lamnet reads no node record; turbnet's node group still takes one record,
// which it skips unread, and echoes one empty line.
TEST(ReadInputNoNodes, LamnetReadsNoNodeRecord) {
    InputRun in("         0         1         0         0\n"
                "         1         1         2       1.0\n");
    ASSERT_EQ(in.read(Program::lamnet), -1) << in.run.errors;
    EXPECT_EQ(in.run.flushed_report(),
              lamnet_banner + count_lines("    0", "    1", "    0", "    0") +
                  " value of density*gravity acc./viscosity\t:            0.00\n" + node_heading +
                  element_heading + "         1         1           2           1.00000\n" +
                  "\n---- half-bandwidth is equal to    2 ----\n\n" + discharge_heading +
                  boundary_heading);
    EXPECT_EQ(in.net->connectivity.end_node(1), 2);
}

TEST(ReadInputNoNodes, TurbnetSkipsOneRecordAndEchoesAnEmptyLine) {
    InputRun in("         0         1         0         0\n"
                "not a node record at all\n"
                "         1         1         2       1.0\n");
    ASSERT_EQ(in.read(Program::turbnet), -1) << in.run.errors;
    EXPECT_EQ(in.run.flushed_report(), turbnet_banner +
                                           count_lines("    0", "    1", "    0", "    0") +
                                           " maximum number of iterations\t:     0\n"
                                           " tolerance\t:                  0.0000000\n\n"
                                           " relative roughness\t:       0.0000000\n" +
                                           node_heading + "\n" + element_heading +
                                           "         1         1           2           1.00000\n" +
                                           "\n---- half-bandwidth is equal to    2 ----\n\n" +
                                           discharge_heading + boundary_heading);
}

// A record numbered outside the storage is echoed as read and leaves the storage alone.
TEST(ReadInputNumbers, OutsideTheCapacityEchoedAndNotStored) {
    InputRun in("         1         1         1         1       1.0\n"
                "       101       7.0       8.0\n"
                "        -1         1         1       3.0\n"
                "         0         9.0\n"
                "       200       4.0\n");
    ASSERT_EQ(in.read(Program::lamnet), -1) << in.run.errors;
    const std::string report = in.run.flushed_report();
    EXPECT_NE(report.find("\n       101      7.00      8.00\n"), std::string::npos);
    EXPECT_NE(report.find("\n        -1         1           1           3.00000\n"),
              std::string::npos);
    EXPECT_NE(report.find("\n         0      9.0000\n"), std::string::npos);
    EXPECT_NE(report.find("\n       200              4.0000\n"), std::string::npos);

    const Network& net = *in.net;
    for (std::int32_t i = 1; i <= max_nodes; ++i) {
        EXPECT_EQ(net.x(i), 0.0f) << i;
        EXPECT_EQ(net.y(i), 0.0f) << i;
        EXPECT_EQ(net.prescribed_head(i), 0.0f) << i;
    }
    for (std::int32_t e = 1; e <= max_elements; ++e) {
        EXPECT_EQ(net.diameter(e), 0.0f) << e;
        EXPECT_EQ(net.connectivity.start_node(e), 0) << e;
    }
    for (std::int32_t i = 1; i <= max_nodes; ++i) EXPECT_EQ(net.known_discharge(i), 0.0f) << i;

    bool passes = true;
    EXPECT_EQ(in.check(passes),
              "\n  **** node number out of range in node record :        101 ****  \n\n");
    EXPECT_FALSE(passes);
}

// Pipe ends far apart: the half-bandwidth saturates, its I5 field overflows (asterisks and an
// output conversion report, the run going on) and the capacity check refuses it.
TEST(ReadInputNumbers, HalfBandwidthSaturates) {
    InputRun in("         2         1         0         0\n"
                "         1\n"
                "         2\n"
                "         1-9999999992147483647       1.0\n");
    ASSERT_EQ(in.read(Program::lamnet), -1) << in.run.errors;
    EXPECT_EQ(in.net->half_band, 2147483647);
    EXPECT_NE(in.run.flushed_report().find("\n\n---- half-bandwidth is equal to***** ----\n\n"),
              std::string::npos);
    EXPECT_EQ(in.run.errors, "netio: error (63): output conversion error, unit 6, file CONOUT$\n");
    bool passes = true;
    EXPECT_EQ(in.check(passes), "\n  **** maximum half-bandwidth exceeded ****  \n\n");
    EXPECT_FALSE(passes);
}

// 31 known heads: every record is read and echoed, the list keeps 30, and only the driver's
// check refuses the run.
TEST(ReadInputNumbers, ThirtyOneKnownHeadsAreAllEchoedThenRefused) {
    std::string text = "        31         0         0        31\n";
    for (int n = 1; n <= 31; ++n)
        text += std::string(8, ' ') + (n < 10 ? " " : "") + std::to_string(n) + "\n";
    for (int n = 31; n >= 1; --n)
        text += std::string(8, ' ') + (n < 10 ? " " : "") + std::to_string(n) + "       1.5\n";
    InputRun in(text);
    ASSERT_EQ(in.read(Program::lamnet), -1) << in.run.errors;
    const std::string report = in.run.flushed_report();
    std::size_t heads = report.find(boundary_heading);
    ASSERT_NE(heads, std::string::npos);
    std::string head_lines = report.substr(heads + boundary_heading.size());
    EXPECT_EQ(head_lines.size(), 31u * 31u);
    EXPECT_EQ(head_lines.substr(0, 31), "        31              1.5000\n");
    EXPECT_EQ(head_lines.substr(30 * 31), "         1              1.5000\n");
    EXPECT_EQ(in.net->boundary_nodes.node(30), 2);
    EXPECT_EQ(in.net->prescribed_head(1), 1.5f);
    bool passes = true;
    EXPECT_EQ(in.check(passes), "\n  **** too many boundary nodes ****  \n\n");
    EXPECT_FALSE(passes);
}

TEST(ReadInputFailures, ShortFileEndsAfterTheEchoSoFar) {
    InputRun in("         2         0         0         0       1.0\n"
                "         1       1.0       2.0\n");
    EXPECT_EQ(in.read(Program::lamnet), 24);
    EXPECT_EQ(in.run.report, lamnet_banner + count_lines("    2", "    0", "    0", "    0") +
                                 " value of density*gravity acc./viscosity\t:            1.00\n" +
                                 node_heading + "         1      1.00      2.00\n");
    EXPECT_EQ(in.run.errors, "netio: severe (24): end-of-file during read, unit 2, file " +
                                 testing::path_in_current_directory("input-lin.dat") + "\n");
}

TEST(ReadInputFailures, TurbnetUnfinishedNodeGroupIsNotEchoed) {
    InputRun in("         2         0         0         0\n"
                "         1       1.0       2.0\n");
    EXPECT_EQ(in.read(Program::turbnet), 24);
    const std::string report = in.run.flushed_report();
    EXPECT_EQ(report.substr(report.size() - node_heading.size()), node_heading);
    EXPECT_EQ(in.run.errors, "netio: severe (24): end-of-file during read, unit 2, file " +
                                 testing::path_in_current_directory("input-nonlin.dat") + "\n");
}

TEST(ReadInputFailures, EmptyFileShowsOnlyTheBanner) {
    InputRun in("");
    EXPECT_EQ(in.read(Program::turbnet), 24);
    EXPECT_EQ(in.run.report, turbnet_banner);
}

} // namespace
} // namespace pipenet
