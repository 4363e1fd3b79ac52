// What solve gathers from the programs' arithmetic: each message of a failed analysis is a value
// that names its pipe, node or row, with the programs' own wording as its text.
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "solve/render.hpp"
#include "solve/solve_network.hpp"

namespace pipenet::solve {
namespace {

std::string field(const std::string& value, std::size_t width) {
    return std::string(width - value.size(), ' ') + value;
}

// One record of fixed columns: integers in ten columns, then reals in `real_width` columns.
std::string record(std::vector<std::string> integers, std::vector<std::string> reals = {},
                   std::size_t real_width = 10) {
    std::string line;
    for (const std::string& i : integers) line += field(i, 10);
    for (const std::string& r : reals) line += field(r, real_width);
    return line + '\n';
}

// Three nodes in a row, node 1 at a known head, a draw at node 3; `pipes` as "e a b".
std::string lamnet_chain(const std::vector<std::vector<std::string>>& pipes,
                         const std::string& node3_x = "200.0") {
    std::string text = record({"3", std::to_string(pipes.size()), "1", "1"}, {"97900."});
    text += record({"1"}, {"0.0", "0.0"});
    text += record({"2"}, {"100.0", "0.0"});
    text += record({"3"}, {node3_x, "0.0"});
    for (const auto& p : pipes) text += record(p, {"0.100"});
    text += record({"3"}, {"-0.0010"}, 12);
    text += record({"1"}, {"50.0"});
    return text;
}

struct Case {
    const char* name;
    std::string text;
    Verdict verdict;
    // The messages expected, in order: code, pipe, node, numbers, text.
    std::vector<Message> messages;
    std::vector<std::vector<double>> numbers;
};

Message expect(std::string code, std::string pipe, std::string node, std::string text) {
    Message m("error", std::move(code), std::move(text));
    m.pipe = std::move(pipe);
    m.node = std::move(node);
    return m;
}

TEST(SolveMessages, FailedAnalysesNameTheirPipeNodeOrRowAsValues) {
    const std::vector<Case> cases{
        // Nodes 2 and 3 at the same point: pipe 2 has no length.
        {"zero length",
         lamnet_chain({{"1", "1", "2"}, {"2", "2", "3"}}, "100.0"),
         Verdict::refused,
         {expect("zero-length", "2", "", "**** zero length for element :     2 ****")},
         {{}}},
        // Pipe 2 ends at node 7 of a network of 3.
        {"pipe end out of range",
         lamnet_chain({{"1", "1", "2"}, {"2", "2", "7"}}),
         Verdict::refused,
         {expect("number-out-of-range", "2", "7",
                 "**** node number out of range at an end of element    2 :          7 ****")},
         {{}}},
        // Node 3 is joined to nothing: its row is the first without a pivot.
        {"singular",
         lamnet_chain({{"1", "1", "2"}}),
         Verdict::singular,
         {expect("singular", "", "", "***** singularity in row       3")},
         {{3.0}}},
    };
    SolveSettings settings;
    settings.arithmetic = Arithmetic::programs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const NetworkResult result =
            solve_network("input-lin.dat", c.text, Program::lamnet, settings);
        EXPECT_EQ(result.verdict, c.verdict);
        std::vector<const Message*> errors;
        for (const Message& m : result.messages)
            if (m.severity == "error") errors.push_back(&m);
        ASSERT_EQ(errors.size(), c.messages.size());
        for (std::size_t i = 0; i < errors.size(); ++i) {
            EXPECT_EQ(errors[i]->code, c.messages[i].code);
            EXPECT_EQ(errors[i]->text, c.messages[i].text);
            EXPECT_EQ(errors[i]->pipe, c.messages[i].pipe);
            EXPECT_EQ(errors[i]->node, c.messages[i].node);
            EXPECT_EQ(errors[i]->numbers, c.numbers[i]);
        }
    }
}

// The records a front end read once give what the text gives: the plot's path and solve's.
TEST(SolveMessages, RecordsReadOnceGiveTheResultsOfTheText) {
    const std::string text = lamnet_chain({{"1", "1", "2"}, {"2", "2", "3"}});
    NetworkRecords records;
    std::string error;
    ASSERT_TRUE(read_network_records(text, Program::lamnet, records, error)) << error;
    for (Arithmetic arithmetic : {Arithmetic::programs, Arithmetic::double_precision}) {
        SolveSettings settings;
        settings.arithmetic = arithmetic;
        const NetworkResult a = solve_network("f", text, Program::lamnet, settings);
        const NetworkResult b = solve_records("f", records, settings);
        ASSERT_EQ(a.verdict, Verdict::solved);
        EXPECT_EQ(b.verdict, a.verdict);
        ASSERT_EQ(b.nodes.size(), 3u);
        ASSERT_EQ(a.nodes.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(b.nodes[i].head, a.nodes[i].head);
        // The chain by hand: 0.001 drawn at node 3 through two equal pipes from the head 50.
        const double c = 97900.0 * 3.141592653589793 / 128.0 * 1.0e-4 / 100.0;
        EXPECT_NEAR(a.nodes[2].head, 50.0 - 2.0 * 0.001 / c, 1e-4);
    }
}

// A file the engine cannot read is placed at the check's error of the same kind, not at an
// earlier error of another kind: with a node count of 0, the programs read line 2 as a pipe
// record, whose start node "0.0" is no integer; the count itself is the check's first error.
TEST(SolveMessages, AnUnreadableFileIsPlacedWhereTheReadingFailed) {
    std::string text = lamnet_chain({{"1", "1", "2"}, {"2", "2", "3"}});
    text.replace(0, 10, field("0", 10));
    const NetworkResult result = solve_network("input-lin.dat", text, Program::lamnet, {});
    EXPECT_EQ(result.verdict, Verdict::unreadable);
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(result.messages[0].code, "not-a-number");
    const std::string& said = result.messages[0].text;
    EXPECT_NE(said.find(": line 2, columns 11-20: start node: "), std::string::npos) << said;
    EXPECT_EQ(said.find("line 1"), std::string::npos) << said;
}

// A square of four nodes with a diagonal, for turbnet: the head known at `known`, draws at the
// others, the diagonal's diameter and node 4's y as given.
std::string turbnet_square(const std::string& known, const std::string& diagonal,
                           const std::string& node4_y = "400.0") {
    std::string text = record({"4", "5", "3", "1", "30"}, {"0.0000010"});
    text.pop_back();
    text += field("130.0", 15) + '\n';
    const std::vector<std::vector<std::string>> nodes{
        {"0.0", "0.0"}, {"300.0", "0.0"}, {"300.0", "400.0"}, {"0.0", node4_y}};
    for (std::size_t i = 0; i < nodes.size(); ++i)
        text += record({std::to_string(i + 1)}, nodes[i]);
    const std::vector<std::vector<std::string>> pipes{
        {"1", "1", "2"}, {"2", "2", "3"}, {"3", "3", "4"}, {"4", "4", "1"}, {"5", "1", "3"}};
    for (std::size_t e = 0; e < pipes.size(); ++e)
        text += record(pipes[e], {e == 4 ? diagonal : "0.200"});
    for (const char* node : {"1", "2", "3", "4"})
        if (known != node) text += record({node}, {"-0.0100"}, 12);
    text += record({known}, {"60.0"});
    return text;
}

// A thread's workspace keeps the topology of one network for the next: whatever it held, each
// network's results must be those it has alone, to the last bit of every value written.
TEST(SolveWorkspace, NetworksSolvedInTurnGiveTheResultsEachGivesAlone) {
    struct Network {
        const char* name;
        Program program;
        std::string text;
    };
    const std::vector<Network> networks{
        {"square", Program::turbnet, turbnet_square("1", "0.250")},
        // The same pattern with other values: the topology is kept, the laws are not.
        {"square, other diagonal", Program::turbnet, turbnet_square("1", "0.100")},
        // Another node at the known head: another pattern.
        {"square, head at 3", Program::turbnet, turbnet_square("3", "0.250")},
        // Node 4 on node 1: pipe 4 has no length, the network is refused.
        {"square, zero length", Program::turbnet, turbnet_square("1", "0.250", "0.0")},
        {"lamnet chain", Program::lamnet, lamnet_chain({{"1", "1", "2"}, {"2", "2", "3"}})},
        {"square again", Program::turbnet, turbnet_square("1", "0.250")},
        {"square, other diagonal again", Program::turbnet, turbnet_square("1", "0.100")},
    };
    for (const Arithmetic arithmetic : {Arithmetic::double_precision, Arithmetic::programs}) {
        SolveSettings settings;
        settings.arithmetic = arithmetic;
        Workspace workspace;
        std::size_t solved = 0;
        for (const Network& n : networks) {
            const NetworkResult alone = solve_network("f", n.text, n.program, settings);
            const NetworkResult kept = solve_network("f", n.text, n.program, settings, &workspace);
            EXPECT_EQ(json_document(kept), json_document(alone)) << n.name;
            if (alone.verdict == Verdict::solved) ++solved;
        }
        // The cases do what they are meant to: all but the refused one are solved.
        EXPECT_EQ(solved, networks.size() - 1);
    }
}

// The workspace keeps the model of a network for the next, but not that of a large one while its
// results are written: there it would only add to the peak. Results stay those given alone.
TEST(SolveWorkspace, KeepsTheModelOfASmallNetworkOnly) {
    const std::string square = turbnet_square("1", "0.250");
    struct Case {
        std::int64_t large_from; // the square has 4 nodes
        bool kept;
    };
    for (const Case c : {Case{50000, true}, Case{5, true}, Case{4, false}, Case{1, false}}) {
        SolveSettings settings;
        settings.tolerances.large_network_rows = c.large_from;
        Workspace workspace;
        const NetworkResult alone = solve_network("f", square, Program::turbnet, settings);
        const NetworkResult kept =
            solve_network("f", square, Program::turbnet, settings, &workspace);
        ASSERT_EQ(alone.verdict, Verdict::solved) << c.large_from;
        EXPECT_EQ(json_document(kept), json_document(alone)) << c.large_from;
        EXPECT_EQ(!workspace.model.nodes.empty(), c.kept) << c.large_from;
    }
}

TEST(SolveHandedText, IsFreedOnceReadUnlessAReportNeedsItAndResultsStayTheSame) {
    const std::string square = turbnet_square("1", "0.250");
    const std::string inp = "[JUNCTIONS]\nJ1 0 1\n[RESERVOIRS]\nR 50\n[PIPES]\n"
                            "P1 R J1 1000 200 100\n[OPTIONS]\nUnits LPS\n[END]\n";
    for (const bool report : {false, true}) {
        SolveSettings settings;
        settings.report = report;
        std::string handed = square;
        const NetworkResult viewed = solve_network("f", square, Program::turbnet, settings);
        const NetworkResult taken =
            solve_network("f", std::move(handed), Program::turbnet, settings);
        ASSERT_EQ(taken.verdict, Verdict::solved) << report;
        EXPECT_EQ(json_document(taken), json_document(viewed)) << report;
        EXPECT_EQ(taken.report, viewed.report) << report;
        // Moved from into a parameter, the string is only emptied by the solve itself.
        EXPECT_EQ(handed.empty(), !report) << report;
        EXPECT_EQ(handed.capacity() < square.size(), !report) << report;
    }
    std::string handed = inp;
    const NetworkResult viewed = solve_inp("f.inp", inp, SolveSettings{});
    const NetworkResult taken = solve_inp("f.inp", std::move(handed), SolveSettings{});
    ASSERT_EQ(taken.verdict, Verdict::solved);
    EXPECT_EQ(json_document(taken), json_document(viewed));
    EXPECT_TRUE(handed.empty());
}

// Every value of `key` in a JSON document, as written, in order.
std::vector<std::string> values_of(const std::string& document, const std::string& key) {
    std::vector<std::string> values;
    const std::string quoted = "\"" + key + "\":";
    for (std::size_t at = document.find(quoted); at != std::string::npos;
         at = document.find(quoted, at + 1)) {
        const std::size_t from = at + quoted.size();
        values.push_back(document.substr(from, document.find_first_of(",}", from) - from));
    }
    return values;
}

// A value written again from the text of the one before it (a known head from the head found,
// a diameter from the pipe before) is written as it would be on its own, in the type of the
// arithmetic: equal doubles that differ as floats, NaNs, and values that only look alike.
TEST(SolveJson, RepeatedValuesAreWrittenAsTheirOwn) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double above_two = std::nextafter(2.0, 3.0);
    struct NodeCase {
        double head;
        std::optional<double> known_head;
    };
    const NodeCase nodes[] = {
        {42.5305, 42.5305}, {1.5, 2.25}, {3.0, std::nullopt}, {nan, nan},
        {2.0, above_two},   {0.1, 0.1},  {-7.0, 7.0},
    };
    const double diameters[] = {0.15, 0.15, 0.3, 0.15, nan, nan, 0.3, above_two, 2.0};
    struct Expected {
        Arithmetic arithmetic;
        std::vector<std::string> heads, known_heads, diameters;
    };
    const Expected expected[] = {
        {Arithmetic::double_precision,
         {"42.5305", "1.5", "3", "null", "2", "0.1", "-7"},
         {"42.5305", "2.25", "null", "null", "2.0000000000000004", "0.1", "7"},
         {"0.15", "0.15", "0.3", "0.15", "null", "null", "0.3", "2.0000000000000004", "2"}},
        // As floats the value just above 2 is 2.
        {Arithmetic::programs,
         {"42.5305", "1.5", "3", "null", "2", "0.1", "-7"},
         {"42.5305", "2.25", "null", "null", "2", "0.1", "7"},
         {"0.15", "0.15", "0.3", "0.15", "null", "null", "0.3", "2", "2"}},
    };
    for (const Expected& e : expected) {
        NetworkResult result;
        result.file = "f";
        result.program = Program::turbnet;
        result.arithmetic = e.arithmetic;
        result.verdict = Verdict::solved;
        std::int32_t number = 0;
        for (const NodeCase& n : nodes) {
            NodeResult& node = result.nodes.emplace_back();
            node.node = ++number;
            node.head = n.head;
            node.known_head = n.known_head;
        }
        number = 0;
        for (const double d : diameters) {
            PipeResult& pipe = result.pipes.emplace_back();
            pipe.pipe = ++number;
            pipe.diameter = d;
        }
        const std::string document = json_document(result);
        const char* name = e.arithmetic == Arithmetic::programs ? "programs" : "double";
        EXPECT_EQ(values_of(document, "head"), e.heads) << name;
        EXPECT_EQ(values_of(document, "known_head"), e.known_heads) << name;
        EXPECT_EQ(values_of(document, "diameter"), e.diameters) << name;
    }
}

} // namespace
} // namespace pipenet::solve
