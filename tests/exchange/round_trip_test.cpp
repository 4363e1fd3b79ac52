// Export to .inp and import back: the real turbnet program analyses the original input and the
// imported one, and the two agree node by node and pipe by pipe to float precision.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exchange/inp_export.hpp"
#include "exchange/inp_import.hpp"
#include "exchange/inp_reader.hpp"

namespace pipenet::exchange {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The heads and member discharges of a report, by number; empty when it has no results.
struct Results {
    bool converged = false;
    std::map<int, double> heads;
    std::map<int, double> member_discharges;
};

Results parse_results(const std::string& report) {
    Results results;
    std::istringstream lines(report);
    std::string line;
    std::map<int, double>* table = nullptr;
    while (std::getline(lines, line)) {
        if (line.starts_with(" convergence achieved on cycle")) results.converged = true;
        if (line == " nodal heads") {
            table = &results.heads;
            std::getline(lines, line); // column heading
            continue;
        }
        if (line == " member discharges") {
            table = &results.member_discharges;
            std::getline(lines, line);
            continue;
        }
        if (table == nullptr) continue;
        std::istringstream fields(line);
        int number = 0;
        double value = 0.0;
        if (!(fields >> number >> value)) {
            table = nullptr;
            continue;
        }
        (*table)[number] = value;
    }
    return results;
}

// Runs turbnet on an input in a folder of its own, with the print flag 0. status: out, the
// shell's status of the run.
std::string run_turbnet(const std::string& input, const std::string& name, int& status) {
    fs::path dir = fs::path(ROUND_TRIP_SCRATCH) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "input-nonlin.dat", std::ios::binary) << input;
    std::ofstream(dir / "stdin") << "0\n";
    std::string command = "cd '" + dir.string() + "' && '" + TURBNET + "' < stdin > report 2>&1";
    status = std::system(command.c_str());
    return read_file(dir / "report");
}

struct RoundTrip {
    bool imported = false;
    int original_status = -1;
    int back_status = -1;
    std::string messages;
    Results original;
    Results back;
    ImportedNetwork net;
};

// Exports records, imports the .inp, and runs both. The imported input keeps the original's
// iteration limit and tolerance, which a .inp file does not carry.
RoundTrip round_trip(NetworkRecords records, const std::string& name) {
    RoundTrip trip;
    std::string inp;
    std::vector<Diagnostic> diagnostics;
    InpNetwork network;
    if (!export_network(records, LengthUnit::metre, inp, diagnostics) ||
        !read_inp(inp, network, diagnostics) || !import_network(network, trip.net, diagnostics)) {
        for (const Diagnostic& d : diagnostics) trip.messages += describe(d, name) + "\n";
        return trip;
    }
    trip.imported = true;
    trip.net.records.max_iterations = records.max_iterations;
    trip.net.records.tolerance = records.tolerance;
    std::string original_text;
    std::string imported_text;
    std::string error;
    EXPECT_TRUE(write_network_records(records, original_text, error)) << error;
    EXPECT_TRUE(write_network_records(trip.net.records, imported_text, error)) << error;
    trip.original =
        parse_results(run_turbnet(original_text, name + "-original", trip.original_status));
    trip.back = parse_results(run_turbnet(imported_text, name + "-imported", trip.back_status));
    EXPECT_EQ(trip.back_status, trip.original_status) << name;
    return trip;
}

// The inputs hold the same floats (expect_same_records); the runs differ in node order, so the
// elimination rounds differently and the passes, which converge linearly, stop at another point
// once the residual is under the tolerance relative to the whole load (the known heads' part
// included). Heads then agree within a few parts in 10^4 of the largest head, member discharges
// within a few parts in 10^3 of the largest discharge; the printed resolution comes on top.
void expect_same_results(const RoundTrip& trip, const std::string& name) {
    ASSERT_TRUE(trip.back.converged) << name;
    ASSERT_EQ(trip.back.heads.size(), trip.original.heads.size()) << name;
    double largest_head = 0.0;
    for (const auto& [node, head] : trip.original.heads)
        largest_head = std::max(largest_head, std::fabs(head));
    const double head_bound = 2.0e-4 + 3.0e-4 * largest_head;
    for (const auto& [node, head] : trip.original.heads) {
        int number = 0;
        for (std::size_t k = 0; k < trip.net.node_ids.size(); ++k)
            if (trip.net.node_ids[k] == std::to_string(node)) number = static_cast<int>(k + 1);
        ASSERT_NE(number, 0) << name << " node " << node;
        EXPECT_NEAR(trip.back.heads.at(number), head, head_bound)
            << name << " node " << node << " (now " << number << ")";
    }
    double largest_q = 0.0;
    for (const auto& [pipe, q] : trip.original.member_discharges)
        largest_q = std::max(largest_q, std::fabs(q));
    for (const auto& [pipe, q] : trip.original.member_discharges) {
        ASSERT_EQ(trip.net.pipe_ids.at(static_cast<std::size_t>(pipe - 1)), std::to_string(pipe));
        EXPECT_NEAR(trip.back.member_discharges.at(pipe), q, 2.0e-4 + 2.0e-3 * largest_q)
            << name << " pipe " << pipe;
    }
}

// The imported records, read back through the map, hold the very floats of the original.
void expect_same_records(const NetworkRecords& original, const ImportedNetwork& net,
                         const std::string& name) {
    std::vector<std::int32_t> number_of(original.nodes.size() + 1, 0);
    for (std::size_t k = 0; k < net.node_ids.size(); ++k)
        number_of[static_cast<std::size_t>(std::stoi(net.node_ids[k]))] =
            static_cast<std::int32_t>(k + 1);
    if (!original.elements.empty()) {
        EXPECT_EQ(net.records.relative_roughness, original.relative_roughness) << name;
    }
    for (const NodeRecord& n : original.nodes) {
        const NodeRecord& m =
            net.records
                .nodes[static_cast<std::size_t>(number_of[static_cast<std::size_t>(n.node)] - 1)];
        EXPECT_EQ(m.x, n.x) << name << " node " << n.node;
        EXPECT_EQ(m.y, n.y) << name << " node " << n.node;
    }
    ASSERT_EQ(net.records.elements.size(), original.elements.size()) << name;
    for (const ElementRecord& e : original.elements) {
        const ElementRecord& f = net.records.elements[static_cast<std::size_t>(e.element - 1)];
        EXPECT_EQ(f.start_node, number_of[static_cast<std::size_t>(e.start_node)]) << name;
        EXPECT_EQ(f.end_node, number_of[static_cast<std::size_t>(e.end_node)]) << name;
        EXPECT_EQ(f.diameter, e.diameter) << name << " pipe " << e.element;
    }
    for (const HeadRecord& h : original.heads) {
        bool found = false;
        for (const HeadRecord& g : net.records.heads)
            if (g.node == number_of[static_cast<std::size_t>(h.node)]) found = g.head == h.head;
        EXPECT_TRUE(found) << name << " head at " << h.node;
    }
    for (const DischargeRecord& d : original.discharges) {
        bool head_known = false;
        for (const HeadRecord& h : original.heads) head_known = head_known || h.node == d.node;
        if (head_known) continue;
        float last = d.discharge; // a later record for the node counts
        for (const DischargeRecord& later : original.discharges)
            if (later.node == d.node) last = later.discharge;
        float got = 0.0f;
        for (const DischargeRecord& g : net.records.discharges)
            if (g.node == number_of[static_cast<std::size_t>(d.node)]) got = g.discharge;
        EXPECT_EQ(got, last) << name << " discharge at " << d.node;
    }
}

TEST(RoundTrip, EndToEndCasesAnalyseTheSameAfterExportAndImport) {
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(E2E_TURBNET_CASES)) {
        fs::path input = entry.path() / "input-nonlin.dat";
        if (!fs::is_regular_file(input)) continue;
        std::string name = entry.path().filename().string();
        NetworkRecords records;
        std::string error;
        // Cases built to fail reading, or with numbers naming no node, have nothing to export.
        if (!read_network_records(read_file(input), Program::turbnet, records, error) ||
            !check_node_numbers(records, error))
            continue;
        RoundTrip trip = round_trip(records, name);
        if (!trip.imported && (records.nodes.empty() || records.elements.empty())) {
            // Exported, but nothing an import could turn into a network.
            EXPECT_NE(trip.messages.find("there is no network to import"), std::string::npos)
                << name << "\n"
                << trip.messages;
            continue;
        }
        if (!trip.imported) {
            // Only a network the export refuses may fail: pipes not numbered once each, or
            // without a length or a diameter.
            EXPECT_NE(trip.messages.find("cannot be exported"), std::string::npos) << name << "\n"
                                                                                   << trip.messages;
            continue;
        }
        expect_same_records(records, trip.net, name);
        // A data error, or passes that end at the limit: no solution to compare. Nor is there
        // one where turbnet warns that the nodal balance is off: those heads met the tolerance
        // without meaning anything (diameters in millimetres), and another numbering meets it
        // at other heads.
        if (!trip.original.converged) continue;
        const std::string expected_errors = read_file(entry.path() / "expected.stderr");
        if (expected_errors.find("nodal balance off") != std::string::npos) continue;
        expect_same_results(trip, name);
        ++compared;
    }
    EXPECT_GE(compared, 5);
}

// A random looped network on a jittered grid within the programs' capacities, numbered row by
// row so that turbnet takes it, with a demand at every node so that every pipe carries water.
NetworkRecords random_network(std::mt19937& random) {
    std::uniform_int_distribution<int> columns_of(2, 6);
    std::uniform_int_distribution<int> rows_of(2, 8);
    std::uniform_real_distribution<float> jitter(-30.0f, 30.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float diameters[] = {0.15f, 0.2f, 0.25f, 0.3f, 0.4f};
    int columns = columns_of(random);
    int rows = rows_of(random);
    NetworkRecords r;
    r.program = Program::turbnet;
    r.max_iterations = 40;
    r.tolerance = 1.0e-6f;
    r.relative_roughness = 90.0f + std::round(unit(random) * 60.0f);
    auto number = [&](int i, int j) { return i * columns + j + 1; };
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            r.nodes.push_back({number(i, j),
                               std::round((j * 300.0f + jitter(random)) * 100.0f) / 100.0f,
                               std::round((i * 250.0f + jitter(random)) * 100.0f) / 100.0f});
    auto pipe = [&](int a, int b) {
        r.elements.push_back(
            {static_cast<std::int32_t>(r.elements.size() + 1), a, b, diameters[random() % 5]});
    };
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            if (j + 1 < columns && (i == 0 || unit(random) < 0.8f))
                pipe(number(i, j), number(i, j + 1));
            if (i + 1 < rows) pipe(number(i, j), number(i + 1, j));
        }
    r.heads.push_back({1, 80.0f + std::round(unit(random) * 400.0f) / 10.0f});
    for (int n = 2; n <= rows * columns; ++n)
        r.discharges.push_back({n, -(2.0f + std::round(unit(random) * 80.0f) / 10.0f) / 1000.0f});
    return r;
}

TEST(RoundTrip, RandomNetworksAnalyseTheSameAfterExportAndImport) {
    std::mt19937 random(1515);
    int compared = 0;
    for (int k = 0; k < 12; ++k) {
        NetworkRecords records = random_network(random);
        std::string name = "random-" + std::to_string(k);
        RoundTrip trip = round_trip(records, name);
        ASSERT_TRUE(trip.imported) << trip.messages;
        EXPECT_EQ(trip.original_status, 0) << name;
        expect_same_records(records, trip.net, name);
        // Single precision may stall short of the tolerance: nothing to compare then.
        if (!trip.original.converged) continue;
        expect_same_results(trip, name);
        ++compared;
    }
    EXPECT_GE(compared, 10);
}

} // namespace
} // namespace pipenet::exchange
