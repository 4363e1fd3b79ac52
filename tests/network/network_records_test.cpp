// Reading and writing whole input files as records, and renumbering their nodes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "network/half_bandwidth.hpp"
#include "network/network_records.hpp"
#include "network/renumber.hpp"
#include "report/exact_field.hpp"
#include "report/layouts.hpp"
#include "report/record_io.hpp"

namespace pipenet {
namespace {

// The small water main of the input-format guide, in the layouts' usual form.
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

TEST(NetworkRecords, ReadsEveryGroupOfATurbnetFile) {
    NetworkRecords r;
    std::string error;
    ASSERT_TRUE(read_network_records(water_main, Program::turbnet, r, error)) << error;
    EXPECT_EQ(r.max_iterations, 20);
    EXPECT_EQ(r.tolerance, 1.0e-6f);
    EXPECT_EQ(r.relative_roughness, 130.0f);
    ASSERT_EQ(r.nodes.size(), 4u);
    EXPECT_EQ(r.nodes[2].node, 3);
    EXPECT_EQ(r.nodes[2].x, 600.0f);
    EXPECT_EQ(r.nodes[2].y, 400.0f);
    ASSERT_EQ(r.elements.size(), 5u);
    EXPECT_EQ(r.elements[4].start_node, 2);
    EXPECT_EQ(r.elements[4].end_node, 4);
    EXPECT_EQ(r.elements[4].diameter, 0.15f);
    ASSERT_EQ(r.discharges.size(), 3u);
    EXPECT_EQ(r.discharges[1].node, 3);
    EXPECT_EQ(r.discharges[1].discharge, -0.05f);
    ASSERT_EQ(r.heads.size(), 1u);
    EXPECT_EQ(r.heads[0].head, 50.0f);
}

// Files in the layouts' usual form come back byte for byte.
TEST(NetworkRecords, WritesTheUsualFormBack) {
    for (auto [text, program] :
         {std::pair{water_main, Program::turbnet}, std::pair{capillary_loop, Program::lamnet}}) {
        NetworkRecords r;
        std::string error;
        ASSERT_TRUE(read_network_records(text, program, r, error)) << error;
        std::string written;
        ASSERT_TRUE(write_network_records(r, written, error)) << error;
        EXPECT_EQ(written, program == Program::lamnet
                               ? "         4         4         2         1     97900\n" +
                                     capillary_loop.substr(capillary_loop.find('\n') + 1)
                               : text);
    }
}

// Values with more digits than a field's decimals, or far from them, still read back exactly.
TEST(NetworkRecords, RandomValuesSurviveAWriteAndARead) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-50000.0f, 50000.0f);
    std::uniform_real_distribution<float> diameter(0.001f, 2.0f);
    std::uniform_real_distribution<float> discharge(-3.0f, 3.0f);
    NetworkRecords r;
    r.program = Program::turbnet;
    r.max_iterations = 30;
    r.tolerance = 3.3333e-7f;
    r.relative_roughness = 117.77777f;
    for (std::int32_t n = 1; n <= 60; ++n)
        r.nodes.push_back({n, coordinate(random), coordinate(random)});
    for (std::int32_t e = 1; e <= 80; ++e)
        r.elements.push_back({e, 1 + e % 60, 1 + (e * 7) % 60, diameter(random)});
    for (std::int32_t n = 2; n <= 40; ++n)
        r.discharges.push_back({n, fitting_value(discharge(random) * 1.0e-3f, 12, 4)});
    r.heads.push_back({1, 87.654321f});
    std::string text;
    std::string error;
    ASSERT_TRUE(write_network_records(r, text, error)) << error;
    NetworkRecords back;
    ASSERT_TRUE(read_network_records(text, Program::turbnet, back, error)) << error;
    EXPECT_EQ(back.tolerance, r.tolerance);
    EXPECT_EQ(back.relative_roughness, r.relative_roughness);
    for (std::size_t i = 0; i < r.nodes.size(); ++i) {
        EXPECT_EQ(back.nodes[i].x, r.nodes[i].x);
        EXPECT_EQ(back.nodes[i].y, r.nodes[i].y);
    }
    for (std::size_t i = 0; i < r.elements.size(); ++i)
        EXPECT_EQ(back.elements[i].diameter, r.elements[i].diameter);
    for (std::size_t i = 0; i < r.discharges.size(); ++i)
        EXPECT_EQ(back.discharges[i].discharge, r.discharges[i].discharge);
    EXPECT_EQ(back.heads[0].head, r.heads[0].head);
}

// Every real is written with a blank before it where its text leaves a column: values that need
// their whole field are the only ones that touch the field before.
TEST(NetworkRecords, RealsStandApartFromTheFieldBefore) {
    NetworkRecords r;
    r.program = Program::turbnet;
    r.max_iterations = 20;
    r.tolerance = 1.0e-6f;
    r.relative_roughness = 130.0f;
    r.nodes = {{1, -1234567.8f, 0.0f}, {2, 0.0f, 0.0f}};
    r.elements = {{1, 1, 2, 0.14328258f}};
    r.discharges = {{2, -0.0013888889f}};
    r.heads = {{1, 95.0f}};
    std::string text;
    std::string error;
    ASSERT_TRUE(write_network_records(r, text, error)) << error;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    ASSERT_EQ(lines.size(), 6u) << text;
    // Only a value whose digits need every column touches the field before: its sign parts
    // them. Eight digits in a field of ten drop the leading zero to leave a blank.
    EXPECT_EQ(lines[1].substr(10, 10), "-1234567.8") << text;
    EXPECT_EQ(lines[3].substr(30, 10), " .14328258") << text;
    EXPECT_EQ(lines[4].substr(10, 12), "-.0013888889") << text;
    EXPECT_EQ(lines[5].substr(10, 10), "   95.0000") << text;
    NetworkRecords back;
    ASSERT_TRUE(read_network_records(text, Program::turbnet, back, error)) << error;
    EXPECT_EQ(back.nodes[0].x, r.nodes[0].x);
    EXPECT_EQ(back.elements[0].diameter, r.elements[0].diameter);
    EXPECT_EQ(back.discharges[0].discharge, r.discharges[0].discharge);
}

TEST(NetworkRecords, NamesTheLineThatCannotBeRead) {
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"", "line 1: the file ends before it"},
        {water_main.substr(0, water_main.find("         1         1")),
         "line 6: the file ends before it"},
        {"         1         0         0         1        20 0.0000010    130.0000000\n"
         "         1      O.00      0.00\n",
         "line 2: a field that is not a number of its kind"},
        {"        -1         0         0         0        20 0.0000010    130.0000000\n",
         "line 1: a count in the header is negative"},
    };
    for (const Case& c : cases) {
        NetworkRecords r;
        std::string error;
        EXPECT_FALSE(read_network_records(c.text, Program::turbnet, r, error));
        EXPECT_EQ(error, c.error);
    }
}

// ---- The records as the programs' record layer reads them ----

class NoBytes final : public ByteSink {
public:
    bool write(const char*, std::size_t) override { return true; }
};

// What the layout reader of the record layer reads from `text`, group by group, in the same
// terms as read_network_records: the reference the direct reader must agree with.
struct LayerRead {
    NetworkRecords records;
    std::int32_t line = 0;
    int failure = 0;
    bool negative_count = false;
};

LayerRead read_through_layer(std::string_view text, Program program) {
    LayerRead out;
    NetworkRecords& records = out.records;
    records.program = program;
    NoBytes report;
    NoBytes errors;
    MemorySource console(std::string_view{});
    MemorySource input(text);
    RecordIo io(report, errors, console);
    io.use_input_source(input);
    try {
        io.open_input(input_file_name(program));
        out.line = 1;
        LayoutReader header(io, input_unit,
                            program == Program::lamnet ? layouts::lamnet_header
                                                       : layouts::turbnet_header);
        std::int32_t counts[4];
        for (std::int32_t& count : counts) count = header.get_integer();
        if (program == Program::lamnet) {
            records.rho_g_over_mu = header.get_real();
        } else {
            records.max_iterations = header.get_integer();
            records.tolerance = header.get_real();
            records.relative_roughness = header.get_real();
        }
        if (counts[0] < 0 || counts[1] < 0 || counts[2] < 0 || counts[3] < 0) {
            out.negative_count = true;
            return out;
        }
        for (std::int32_t i = 0; i < counts[0]; ++i) {
            ++out.line;
            LayoutReader reader(io, input_unit, layouts::node_record);
            NodeRecord r{reader.get_integer(), 0.0f, 0.0f};
            r.x = reader.get_real();
            r.y = reader.get_real();
            records.nodes.push_back(r);
        }
        for (std::int32_t i = 0; i < counts[1]; ++i) {
            ++out.line;
            LayoutReader reader(io, input_unit, layouts::element_record);
            ElementRecord r;
            r.element = reader.get_integer();
            r.start_node = reader.get_integer();
            r.end_node = reader.get_integer();
            r.diameter = reader.get_real();
            records.elements.push_back(r);
        }
        for (std::int32_t i = 0; i < counts[2]; ++i) {
            ++out.line;
            LayoutReader reader(io, input_unit, layouts::discharge_record);
            DischargeRecord r;
            r.node = reader.get_integer();
            r.discharge = reader.get_real();
            records.discharges.push_back(r);
        }
        for (std::int32_t i = 0; i < counts[3]; ++i) {
            ++out.line;
            LayoutReader reader(io, input_unit, layouts::head_record);
            HeadRecord r;
            r.node = reader.get_integer();
            r.head = reader.get_real();
            records.heads.push_back(r);
        }
    } catch (const RunEnded& ended) {
        out.failure = ended.status;
    }
    return out;
}

// The same bits, telling -0 from +0.
bool same_float(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void expect_read_alike(std::string_view text, Program program) {
    SCOPED_TRACE(std::string(text.substr(0, 200)));
    const LayerRead layer = read_through_layer(text, program);
    NetworkRecords r;
    std::string error;
    int failure = -1;
    const bool read = read_network_records(text, program, r, error, &failure);
    EXPECT_EQ(read, layer.failure == 0 && !layer.negative_count) << error;
    EXPECT_EQ(failure, layer.failure);
    if (layer.failure != 0) {
        EXPECT_EQ(error.substr(0, error.find(':')), "line " + std::to_string(layer.line));
    } else if (layer.negative_count) {
        EXPECT_EQ(error, "line 1: a count in the header is negative");
    }
    const NetworkRecords& want = layer.records;
    EXPECT_TRUE(same_float(r.rho_g_over_mu, want.rho_g_over_mu));
    EXPECT_EQ(r.max_iterations, want.max_iterations);
    EXPECT_TRUE(same_float(r.tolerance, want.tolerance));
    EXPECT_TRUE(same_float(r.relative_roughness, want.relative_roughness));
    ASSERT_EQ(r.nodes.size(), want.nodes.size());
    for (std::size_t i = 0; i < r.nodes.size(); ++i) {
        EXPECT_EQ(r.nodes[i].node, want.nodes[i].node);
        EXPECT_TRUE(same_float(r.nodes[i].x, want.nodes[i].x)) << i;
        EXPECT_TRUE(same_float(r.nodes[i].y, want.nodes[i].y)) << i;
    }
    ASSERT_EQ(r.elements.size(), want.elements.size());
    for (std::size_t i = 0; i < r.elements.size(); ++i) {
        EXPECT_EQ(r.elements[i].element, want.elements[i].element);
        EXPECT_EQ(r.elements[i].start_node, want.elements[i].start_node);
        EXPECT_EQ(r.elements[i].end_node, want.elements[i].end_node);
        EXPECT_TRUE(same_float(r.elements[i].diameter, want.elements[i].diameter)) << i;
    }
    ASSERT_EQ(r.discharges.size(), want.discharges.size());
    for (std::size_t i = 0; i < r.discharges.size(); ++i) {
        EXPECT_EQ(r.discharges[i].node, want.discharges[i].node);
        EXPECT_TRUE(same_float(r.discharges[i].discharge, want.discharges[i].discharge)) << i;
    }
    ASSERT_EQ(r.heads.size(), want.heads.size());
    for (std::size_t i = 0; i < r.heads.size(); ++i) {
        EXPECT_EQ(r.heads[i].node, want.heads[i].node);
        EXPECT_TRUE(same_float(r.heads[i].head, want.heads[i].head)) << i;
    }
}

// Line ends, a byte order mark, commas, short and overlong records, blanks inside numbers and
// signs of zero: the text is read as the record layer reads it.
TEST(NetworkRecords, ReadAsTheRecordLayerReadsThem) {
    std::string crlf;
    for (char c : water_main) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    std::string long_line = water_main;
    long_line.insert(long_line.find("\n         2    600.00"), std::string(300, 'x'));
    const std::pair<std::string, Program> cases[] = {
        {water_main, Program::turbnet},
        {capillary_loop, Program::lamnet},
        {crlf, Program::turbnet},
        {"\xEF\xBB\xBF" + water_main, Program::turbnet},
        {"\xEF\xBB\xBF", Program::turbnet},
        {"\xEF\xBB", Program::turbnet},
        {water_main.substr(0, water_main.size() - 1), Program::turbnet}, // no last line feed
        {water_main + "\n\n", Program::turbnet},
        {long_line, Program::turbnet},
        {"4,5,3,1,20,1e-6,130\n1,0,0\n2,600,0\n3,600,400\n4,0,400\n1,1,2,.3\n2,2,3,.2\n"
         "3,1,4,.25\n4,4,3,.2\n5,2,4,.15\n2,-.03\n3,-.05\n4,-.02\n1,50\n",
         Program::turbnet},
        {"         2         1         0         1    97900.\n"
         "         1  1 0.5 0  -0.0\n"
         "         2      +7      1E2,\n"
         "         1         1         2  1.5-1\n"
         "         1   120.   \n",
         Program::lamnet},
        {"         1         0         0         0        20 0.0000010    130.0000000\n"
         "         1      0.00      0.00\n",
         Program::turbnet},
        {"         0         0         0         0        20\n", Program::turbnet},
        {"         2         0         0         0    97900.\n"
         "         1      0.00\n",
         Program::lamnet},
        {"         2         0         0        -3    97900.\n", Program::lamnet},
        {"         2         0         0         0      1e99\n", Program::lamnet},
        {"         a         0         0         0    97900.\n", Program::lamnet},
        {"         1         0         0         0        2x 0.0000010    130.0000000\n",
         Program::turbnet},
        {"         2         1         0         0    97900.\n"
         "         1      0.00      0.00\n"
         "         2      0.00      0. 0-\n",
         Program::lamnet},
        {"         2         1         0         0    97900.\n"
         "         1      0.00      0.00\n"
         "         2      0.00      0.00\n"
         "         1         1  99999999999\n",
         Program::lamnet},
    };
    for (const auto& [text, program] : cases) expect_read_alike(text, program);
}

// Random damage to a good file: characters changed, dropped or repeated anywhere.
TEST(NetworkRecords, DamagedFilesReadAsTheRecordLayerReadsThem) {
    std::mt19937 random(28);
    const std::string alphabet = " 0123456789.,+-eEdD\r\nx\t";
    for (int trial = 0; trial < 3000; ++trial) {
        const bool laminar = trial % 3 == 0;
        std::string text = laminar ? capillary_loop : water_main;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const std::size_t at = random() % text.size();
            const char c = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
            case 0:
                text[at] = c;
                break;
            case 1:
                text.erase(at, 1);
                break;
            default:
                text.insert(at, 1, c);
                break;
            }
        }
        expect_read_alike(text, laminar ? Program::lamnet : Program::turbnet);
        if (::testing::Test::HasFailure()) break;
    }
}

TEST(NetworkRecords, ReportsAValueThatDoesNotFitItsField) {
    NetworkRecords r;
    r.nodes.push_back({1, 1.2345678e30f, 0.0f}); // needs 12 columns at least
    std::string text;
    std::string error;
    EXPECT_FALSE(write_network_records(r, text, error));
    EXPECT_EQ(error, "line 2: a value does not fit its field");
}

TEST(CheckNodeNumbers, RefusesNumbersThatNameNoNode) {
    NetworkRecords good;
    std::string error;
    ASSERT_TRUE(read_network_records(water_main, Program::turbnet, good, error));
    ASSERT_TRUE(check_node_numbers(good, error)) << error;
    struct Case {
        void (*spoil)(NetworkRecords&);
        const char* error;
    };
    const Case cases[] = {
        {[](NetworkRecords& r) { r.nodes[1].node = 5; }, "node record 5: outside 1 ... 4"},
        {[](NetworkRecords& r) { r.nodes[1].node = 1; }, "node 1 has two node records"},
        {[](NetworkRecords& r) { r.elements[2].end_node = 0; },
         "pipe 3 ends at a node outside 1 ... 4"},
        {[](NetworkRecords& r) { r.discharges[0].node = 9; },
         "known discharge at node 9, outside 1 ... 4"},
        {[](NetworkRecords& r) { r.heads[0].node = -1; }, "known head at node -1, outside 1 ... 4"},
    };
    for (const Case& c : cases) {
        NetworkRecords r = good;
        c.spoil(r);
        EXPECT_FALSE(check_node_numbers(r, error));
        EXPECT_EQ(error, c.error);
    }
}

// ---- Renumbering ----

std::vector<std::int32_t> ends_of(const std::vector<std::pair<int, int>>& pipes) {
    std::vector<std::int32_t> ends;
    for (auto [a, b] : pipes) {
        ends.push_back(a);
        ends.push_back(b);
    }
    return ends;
}

std::vector<std::int32_t> renumbered(std::span<const std::int32_t> ends, const Renumbering& r) {
    std::vector<std::int32_t> out(ends.begin(), ends.end());
    for (std::int32_t& n : out) n = r.new_number[static_cast<std::size_t>(n)];
    return out;
}

void expect_permutation(const Renumbering& r, std::int32_t node_count) {
    ASSERT_EQ(r.new_number.size(), static_cast<std::size_t>(node_count) + 1);
    std::vector<std::int32_t> sorted(r.new_number.begin() + 1, r.new_number.end());
    std::sort(sorted.begin(), sorted.end());
    for (std::int32_t i = 0; i < node_count; ++i)
        EXPECT_EQ(sorted[static_cast<std::size_t>(i)], i + 1);
}

// A rows x columns grid numbered row after row, the short side first when `along_long_side`.
std::vector<std::int32_t> grid(int rows, int columns, bool along_long_side) {
    std::vector<std::pair<int, int>> pipes;
    auto number = [&](int i, int j) {
        return along_long_side ? j * rows + i + 1 : i * columns + j + 1;
    };
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            if (j + 1 < columns) pipes.emplace_back(number(i, j), number(i, j + 1));
            if (i + 1 < rows) pipes.emplace_back(number(i, j), number(i + 1, j));
        }
    return ends_of(pipes);
}

TEST(RenumberNodes, ReachesTheBandOfKnownNetworks) {
    struct Case {
        const char* name;
        std::int32_t node_count;
        std::vector<std::int32_t> ends;
        std::int32_t before;
        std::int32_t after;
    };
    const Case cases[] = {
        // A chain 1-10-2-9-3-8-... numbered from both ends at once.
        {"zigzag chain", 10,
         ends_of({{1, 10}, {10, 2}, {2, 9}, {9, 3}, {3, 8}, {8, 4}, {4, 7}, {7, 5}, {5, 6}}), 10,
         2},
        // A 4 x 25 grid numbered along its long side: the band is the long side.
        {"long grid", 100, grid(4, 25, false), 26, 5},
        // A ring of 12: any numbering needs 3.
        {"ring", 12,
         ends_of({{1, 2},
                  {2, 3},
                  {3, 4},
                  {4, 5},
                  {5, 6},
                  {6, 7},
                  {7, 8},
                  {8, 9},
                  {9, 10},
                  {10, 11},
                  {11, 12},
                  {12, 1}}),
         12, 3},
        // A star: Cuthill-McKee from a leaf puts the centre second (the least band, with the
        // centre in the middle, would be 4).
        {"star", 7, ends_of({{1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {1, 7}}), 7, 6},
        // Two groups and a node with no pipe.
        {"two groups", 9, ends_of({{1, 9}, {9, 3}, {2, 8}, {8, 4}}), 9, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Renumbering r = renumber_nodes(c.node_count, c.ends);
        expect_permutation(r, c.node_count);
        EXPECT_EQ(r.half_band_before, c.before);
        EXPECT_EQ(r.half_band_after, c.after);
        EXPECT_EQ(half_band_of(renumbered(c.ends, r)), c.after);
    }
}

TEST(RenumberNodes, KeepsANumberingNothingBeats) {
    // A 4 x 25 grid numbered across its short side already has the least band.
    std::vector<std::int32_t> ends = grid(4, 25, true);
    Renumbering r = renumber_nodes(100, ends);
    EXPECT_EQ(r.half_band_before, 5);
    EXPECT_EQ(r.half_band_after, 5);
    for (std::int32_t n = 1; n <= 100; ++n) EXPECT_EQ(r.new_number[static_cast<std::size_t>(n)], n);
}

TEST(RenumberNodes, NeverWidensTheBandOfRandomNetworks) {
    std::mt19937 random(2026);
    for (int trial = 0; trial < 300; ++trial) {
        auto node_count = static_cast<std::int32_t>(2 + random() % 150);
        std::vector<std::int32_t> ends;
        auto pipes = static_cast<int>(random() % (2 * static_cast<unsigned>(node_count)));
        for (int e = 0; e < pipes; ++e) {
            ends.push_back(
                static_cast<std::int32_t>(1 + random() % static_cast<unsigned>(node_count)));
            ends.push_back(
                static_cast<std::int32_t>(1 + random() % static_cast<unsigned>(node_count)));
        }
        Renumbering r = renumber_nodes(node_count, ends);
        expect_permutation(r, node_count);
        EXPECT_EQ(r.half_band_before, half_band_of(ends));
        EXPECT_LE(r.half_band_after, r.half_band_before);
        EXPECT_EQ(half_band_of(renumbered(ends, r)), r.half_band_after);
    }
}

TEST(ApplyRenumbering, GivesEveryRecordItsNewNumber) {
    NetworkRecords r;
    std::string error;
    ASSERT_TRUE(read_network_records(water_main, Program::turbnet, r, error));
    Renumbering renumbering;
    renumbering.new_number = {0, 3, 1, 4, 2}; // old 1 -> 3, 2 -> 1, 3 -> 4, 4 -> 2
    apply_renumbering(r, renumbering);
    // Node records in new order, each with its old place.
    ASSERT_EQ(r.nodes.size(), 4u);
    EXPECT_EQ(r.nodes[0].node, 1);
    EXPECT_EQ(r.nodes[0].x, 600.0f); // old node 2
    EXPECT_EQ(r.nodes[0].y, 0.0f);
    EXPECT_EQ(r.nodes[2].node, 3);
    EXPECT_EQ(r.nodes[2].x, 0.0f); // old node 1
    // Pipe 5 ran from old 2 to old 4; pipe numbers stay.
    EXPECT_EQ(r.elements[4].element, 5);
    EXPECT_EQ(r.elements[4].start_node, 1);
    EXPECT_EQ(r.elements[4].end_node, 2);
    EXPECT_EQ(r.discharges[0].node, 1); // old 2
    EXPECT_EQ(r.heads[0].node, 3);      // old 1
}

TEST(RenumberInput, RewritesEveryRecordWithTheNewNumbers) {
    // Three pipes in a row numbered 1-3-2-4: half-bandwidth 3; in a row 1-2-3-4 it is 2.
    const std::string chain = "         4         3         1         1    97900.\n"
                              "         1      0.00      0.00\n"
                              "         2     20.00      0.00\n"
                              "         3     10.00      0.00\n"
                              "         4     30.00      0.00\n"
                              "         1         1         3   0.20000\n"
                              "         2         3         2   0.20000\n"
                              "         3         2         4   0.20000\n"
                              "         4     -0.5000\n"
                              "         1  100.0000\n";
    RenumberedInput result;
    std::string error;
    ASSERT_TRUE(renumber_input(chain, Program::lamnet, result, error)) << error;
    EXPECT_EQ(result.half_band_before, 3);
    EXPECT_EQ(result.half_band_after, 2);
    // Reverse Cuthill-McKee from an end of the chain: either end may come first.
    const bool from_node_1 = result.map_csv == "old,new\n1,4\n2,2\n3,3\n4,1\n";
    const bool from_node_4 = result.map_csv == "old,new\n1,1\n2,3\n3,2\n4,4\n";
    ASSERT_TRUE(from_node_1 || from_node_4) << result.map_csv;
    if (from_node_4) {
        EXPECT_EQ(result.text, "         4         3         1         1     97900\n"
                               "         1      0.00      0.00\n"
                               "         2     10.00      0.00\n"
                               "         3     20.00      0.00\n"
                               "         4     30.00      0.00\n"
                               "         1         1         2   0.20000\n"
                               "         2         2         3   0.20000\n"
                               "         3         3         4   0.20000\n"
                               "         4     -0.5000\n"
                               "         1  100.0000\n");
    } else {
        EXPECT_EQ(result.text, "         4         3         1         1     97900\n"
                               "         1     30.00      0.00\n"
                               "         2     20.00      0.00\n"
                               "         3     10.00      0.00\n"
                               "         4      0.00      0.00\n"
                               "         1         4         3   0.20000\n"
                               "         2         3         2   0.20000\n"
                               "         3         2         1   0.20000\n"
                               "         1     -0.5000\n"
                               "         4  100.0000\n");
    }

    std::string bad = chain;
    bad.replace(bad.find("         4     -0.5000"), 10, "         9");
    EXPECT_FALSE(renumber_input(bad, Program::lamnet, result, error));
    EXPECT_EQ(error, "known discharge at node 9, outside 1 ... 4");
}

} // namespace
} // namespace pipenet
