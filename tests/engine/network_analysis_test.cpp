// The analysis as a library: on every end-to-end case it finds what the program's report
// shows, analyses again to the same bits, keeps its input, and runs on several threads at once.
#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "engine/network_analysis.hpp"
#include "network/network_records.hpp"
#include "report/fields.hpp"

namespace pipenet {
namespace {

namespace fs = std::filesystem;

std::string file_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A results line of the report: the number in I10, the value in F15.4.
std::string results_line(std::int32_t number, float value) {
    std::array<char, 25> line{};
    write_integer_field(line.data(), 10, number);
    write_real_field(line.data() + 10, 15, 4, value);
    return std::string(line.data(), line.size());
}

// The lines of the report's block that follows `heading` (and its column titles), up to the
// first line that does not start with a number.
std::vector<std::string> block_after(const std::string& report, const std::string& heading) {
    std::vector<std::string> lines;
    std::size_t at = report.find("\n " + heading + "\n");
    if (at == std::string::npos) return lines;
    std::istringstream in(report.substr(at + heading.size() + 3));
    std::string line;
    std::getline(in, line); // column titles
    while (std::getline(in, line) && line.size() == 25 && line[9] != ' ') lines.push_back(line);
    return lines;
}

// The number after `text` in the report, 0 when the text is not there.
std::int32_t number_after(const std::string& report, const std::string& text) {
    std::size_t at = report.find(text);
    if (at == std::string::npos) return 0;
    return std::stoi(report.substr(at + text.size(), 12));
}

struct Case {
    std::string name;
    Flow flow;
    fs::path folder;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::vector<Case> end_to_end_cases() {
    std::vector<Case> cases;
    for (const auto& [program, flow, input] :
         {std::tuple{"lamnet", Flow::laminar, "input-lin.dat"},
          std::tuple{"turbnet", Flow::turbulent, "input-nonlin.dat"}}) {
        for (const auto& entry : fs::directory_iterator(fs::path(PIPENET_E2E_CASES) / program))
            if (fs::exists(entry.path() / input))
                cases.push_back({std::string(program) + "_" + entry.path().filename().string(),
                                 flow, entry.path()});
    }
    std::sort(cases.begin(), cases.end(),
              [](const Case& a, const Case& b) { return a.name < b.name; });
    return cases;
}

std::string input_text(const Case& c) {
    return file_text(c.folder / (c.flow == Flow::laminar ? "input-lin.dat" : "input-nonlin.dat"));
}

class EndToEndCase : public ::testing::TestWithParam<Case> {};

TEST_P(EndToEndCase, OutcomeAndResultsAreThoseOfTheReport) {
    const Case& c = GetParam();
    const std::string report = file_text(c.folder / "expected.stdout");
    const bool failed_run = fs::exists(c.folder / "expected.status");
    NetworkAnalysis analysis(c.flow);
    if (analysis.read(input_text(c)) != 0) {
        EXPECT_TRUE(failed_run) << "the program read this input";
        return;
    }
    const Outcome outcome = analysis.analyse();

    const std::int32_t singular_row = number_after(report, "***** singularity in row");
    const bool refused = report.find("  **** ") != std::string::npos ||
                         report.find(" **** zero ") != std::string::npos;
    // The programs' capacities are those of their fixed storage; the engine sizes its storage
    // from the network and goes on.
    const bool beyond_capacity = report.find("  **** too many ") != std::string::npos ||
                                 report.find("  **** maximum half-bandwidth") != std::string::npos;
    if (beyond_capacity) {
        const FaultCode code = outcome.fault.code;
        EXPECT_FALSE(code == FaultCode::too_many_nodes || code == FaultCode::too_many_elements ||
                     code == FaultCode::too_many_boundary_nodes ||
                     code == FaultCode::half_band_exceeded)
            << "refused for a capacity";
        // These cases add a node with no pipe (singular at that row), a pipe to a node that is
        // not there (refused for that) or one more pipe or known head to a network that solves.
        if (outcome.kind == OutcomeKind::refused) {
            EXPECT_EQ(code, FaultCode::pipe_end_out_of_range);
            return;
        }
        if (outcome.kind == OutcomeKind::singular) {
            EXPECT_EQ(outcome.row, analysis.node_count());
            return;
        }
        EXPECT_EQ(outcome.kind, OutcomeKind::solved);
        EXPECT_EQ(analysis.heads().size(), static_cast<std::size_t>(analysis.node_count()));
        EXPECT_EQ(analysis.member_discharges().size(),
                  static_cast<std::size_t>(analysis.pipe_count()));
        return;
    }
    if (singular_row != 0) {
        EXPECT_EQ(outcome.kind, OutcomeKind::singular);
        EXPECT_EQ(outcome.row, singular_row);
    } else if (refused) {
        EXPECT_EQ(outcome.kind, OutcomeKind::refused);
    }
    if (report.find("convergence achieved") != std::string::npos) {
        EXPECT_TRUE(outcome.converged);
        const std::int32_t cycle = number_after(report, "convergence achieved on cycle");
        EXPECT_EQ(outcome.passes, cycle);
        EXPECT_EQ(analysis.residuals().size(), static_cast<std::size_t>(cycle) + 1);
    }
    if (report.find("maximum number of iterations reached") != std::string::npos) {
        EXPECT_FALSE(outcome.converged);
    }

    const auto heads = block_after(report, "nodal heads");
    if (heads.empty()) {
        // No results block: a refusal, a singular system, or a run ended before its results
        // (a turbnet print flag that could not be read).
        EXPECT_TRUE(refused || singular_row != 0 || failed_run) << report;
        return;
    }
    ASSERT_TRUE(outcome.has_results());
    ASSERT_EQ(analysis.heads().size(), heads.size());
    for (std::size_t i = 0; i < heads.size(); ++i)
        EXPECT_EQ(results_line(static_cast<std::int32_t>(i + 1), analysis.heads()[i]), heads[i]);
    const auto nodal = block_after(report, "nodal discharges");
    ASSERT_EQ(analysis.nodal_discharges().size(), nodal.size());
    for (std::size_t i = 0; i < nodal.size(); ++i)
        EXPECT_EQ(results_line(static_cast<std::int32_t>(i + 1), analysis.nodal_discharges()[i]),
                  nodal[i]);
    const auto member = block_after(report, "member discharges");
    ASSERT_EQ(analysis.member_discharges().size(), member.size());
    for (std::size_t i = 0; i < member.size(); ++i)
        EXPECT_EQ(results_line(static_cast<std::int32_t>(i + 1), analysis.member_discharges()[i]),
                  member[i]);
}

// The input is never overwritten (the pipe coefficients have their own storage, the known
// discharges are copied into the load), so analysing again gives the same bits.
TEST_P(EndToEndCase, AnalysingAgainGivesTheSameBits) {
    const Case& c = GetParam();
    NetworkAnalysis analysis(c.flow);
    if (analysis.read(input_text(c)) != 0) return;
    const Outcome first = analysis.analyse();
    if (!first.has_results()) return;
    const std::vector<float> heads(analysis.heads().begin(), analysis.heads().end());
    const std::vector<float> members(analysis.member_discharges().begin(),
                                     analysis.member_discharges().end());
    const Outcome second = analysis.analyse();
    EXPECT_EQ(second.kind, first.kind);
    EXPECT_EQ(second.passes, first.passes);
    ASSERT_EQ(analysis.heads().size(), heads.size());
    for (std::size_t i = 0; i < heads.size(); ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(analysis.heads()[i]),
                  std::bit_cast<std::uint32_t>(heads[i]));
    for (std::size_t i = 0; i < members.size(); ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(analysis.member_discharges()[i]),
                  std::bit_cast<std::uint32_t>(members[i]));
}

// The records a front end has read once stand for the text: the engine given them finds what
// it finds reading the text itself, to the bit, wherever the records can be read alike.
TEST_P(EndToEndCase, RecordsReadOnceGiveTheAnalysisOfTheText) {
    const Case& c = GetParam();
    const std::string text = input_text(c);
    NetworkRecords records;
    std::string error;
    const Program program = c.flow == Flow::laminar ? Program::lamnet : Program::turbnet;
    if (!read_network_records(text, program, records, error) || !read_alike_by_program(records))
        return;
    NetworkAnalysis from_text(c.flow);
    ASSERT_EQ(from_text.read(text), 0) << "records read, but not the text";
    NetworkAnalysis from_records(c.flow);
    from_records.read(records);
    EXPECT_EQ(from_records.node_count(), from_text.node_count());
    EXPECT_EQ(from_records.pipe_count(), from_text.pipe_count());
    EXPECT_EQ(from_records.network().half_band, from_text.network().half_band);
    const Outcome expected = from_text.analyse();
    const Outcome got = from_records.analyse();
    EXPECT_EQ(got.kind, expected.kind);
    EXPECT_EQ(got.fault, expected.fault);
    EXPECT_EQ(got.row, expected.row);
    EXPECT_EQ(got.passes, expected.passes);
    auto bits = [](std::span<const float> values) {
        std::vector<std::uint32_t> out;
        for (float v : values) out.push_back(std::bit_cast<std::uint32_t>(v));
        return out;
    };
    EXPECT_EQ(bits(from_records.heads()), bits(from_text.heads()));
    EXPECT_EQ(bits(from_records.nodal_discharges()), bits(from_text.nodal_discharges()));
    EXPECT_EQ(bits(from_records.member_discharges()), bits(from_text.member_discharges()));
    EXPECT_EQ(bits(from_records.residuals()), bits(from_text.residuals()));
    ASSERT_EQ(from_records.pipe_faults().size(), from_text.pipe_faults().size());
    for (std::size_t i = 0; i < from_text.pipe_faults().size(); ++i)
        EXPECT_EQ(from_records.pipe_faults()[i], from_text.pipe_faults()[i]);
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEndCase, ::testing::ValuesIn(end_to_end_cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

const fs::path laminar_loop = fs::path(PIPENET_DOC_EXAMPLES) / "lamnet-loop" / "input-lin.dat";

TEST(NetworkAnalysisChanges, ValuesOutsideTheNetworkAreRefused) {
    NetworkAnalysis analysis(Flow::laminar);
    ASSERT_EQ(analysis.read(file_text(laminar_loop)), 0);
    for (std::int32_t pipe : {0, -1, 5}) EXPECT_FALSE(analysis.set_diameter(pipe, 1.0f)) << pipe;
    for (std::int32_t node : {0, 5, 2147483647}) {
        EXPECT_FALSE(analysis.set_known_discharge(node, 1.0f)) << node;
        EXPECT_FALSE(analysis.set_known_head(node, 1.0f)) << node;
    }
    // Unchanged: the manual's heads.
    ASSERT_EQ(analysis.analyse().kind, OutcomeKind::solved);
    EXPECT_EQ(results_line(3, analysis.heads()[2]), results_line(3, 94.0276f));
}

// A zero diameter refuses the analysis naming the pipe; put back, the heads are those of the
// first analysis to the bit. A new known head holds its node exactly.
TEST(NetworkAnalysisChanges, ChangesTakeEffectAndCanBeUndone) {
    NetworkAnalysis analysis(Flow::laminar);
    ASSERT_EQ(analysis.read(file_text(laminar_loop)), 0);
    ASSERT_EQ(analysis.analyse().kind, OutcomeKind::solved);
    const std::vector<float> heads(analysis.heads().begin(), analysis.heads().end());

    ASSERT_TRUE(analysis.set_diameter(2, 0.0f));
    const Outcome refused = analysis.analyse();
    EXPECT_EQ(refused.kind, OutcomeKind::refused);
    EXPECT_EQ(refused.fault, (Fault{FaultCode::zero_diameter, 2, 2}));
    EXPECT_TRUE(analysis.heads().empty());
    ASSERT_EQ(analysis.pipe_faults().size(), 1u);

    ASSERT_TRUE(analysis.set_diameter(2, 0.15f));
    ASSERT_EQ(analysis.analyse().kind, OutcomeKind::solved);
    EXPECT_TRUE(analysis.pipe_faults().empty());
    for (std::size_t i = 0; i < heads.size(); ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(analysis.heads()[i]),
                  std::bit_cast<std::uint32_t>(heads[i]));

    ASSERT_TRUE(analysis.set_known_head(3, 100.0f));
    ASSERT_EQ(analysis.analyse().kind, OutcomeKind::solved);
    EXPECT_EQ(analysis.heads()[0], 120.0f);
    EXPECT_EQ(analysis.heads()[2], 100.0f);
}

// A header that claims 2147483647 nodes in a short file: the read fails at the end of the
// file, and nothing is sized from the claimed count.
TEST(NetworkAnalysisRead, HugeHeaderCountEndsAtTheEndOfTheFile) {
    NetworkAnalysis analysis(Flow::turbulent);
    EXPECT_EQ(analysis.read("2147483647         1         0         1         5 0.0000010    "
                            "130.0000000\n         1      0.00      0.00\n"),
              24);
    EXPECT_EQ(analysis.node_count(), 0);
    EXPECT_EQ(analysis.analyse().kind, OutcomeKind::refused);
}

// Analyses on separate objects share nothing: run on four threads at once, every one gives the
// bits of a lone run.
TEST(NetworkAnalysisThreads, ConcurrentAnalysesGiveTheBitsOfALoneRun) {
    const std::string text =
        file_text(fs::path(PIPENET_E2E_CASES) / "turbnet" / "full-capacity" / "input-nonlin.dat");
    NetworkAnalysis lone(Flow::turbulent);
    ASSERT_EQ(lone.read(text), 0);
    ASSERT_TRUE(lone.analyse().has_results());
    const std::vector<float> expected(lone.heads().begin(), lone.heads().end());

    std::array<int, 4> mismatches{};
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&, t] {
            NetworkAnalysis analysis(Flow::turbulent);
            if (analysis.read(text) != 0) {
                ++mismatches[t];
                return;
            }
            for (int run = 0; run < 10; ++run) {
                analysis.analyse();
                for (std::size_t i = 0; i < expected.size(); ++i)
                    if (std::bit_cast<std::uint32_t>(analysis.heads()[i]) !=
                        std::bit_cast<std::uint32_t>(expected[i]))
                        ++mismatches[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches, (std::array<int, 4>{}));
}

} // namespace
} // namespace pipenet
