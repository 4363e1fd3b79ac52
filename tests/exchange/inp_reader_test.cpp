// The .inp tokenizer and sections: what is read, and a message with its line for each fault.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exchange/inp_reader.hpp"

namespace pipenet::exchange {
namespace {

struct Read {
    bool ok = false;
    InpNetwork net;
    std::vector<Diagnostic> diagnostics;
    std::string messages() const {
        std::string out;
        for (const Diagnostic& d : diagnostics) out += describe(d, "net.inp") + "\n";
        return out;
    }
};

Read read(const std::string& text) {
    Read r;
    r.ok = read_inp(text, r.net, r.diagnostics);
    return r;
}

const std::string two_nodes = "[JUNCTIONS]\n J1 10 2\n[RESERVOIRS]\n R 50\n"
                              "[PIPES]\n P R J1 100 200 120\n";

TEST(ReadInp, ReadsTheFieldsOfEverySectionItNeeds) {
    Read r = read("[TITLE]\nA small net ; with a comment\n"
                  "[JUNCTIONS]\n J1 10 2.5 P\n J2 -3\n"
                  "[RESERVOIRS]\n R 50 P\n"
                  "[TANKS]\n T 100 5 1 10 20 0\n"
                  "[PIPES]\n P1 R J1 100 200 120\n P2 J1 J2 50 150 110 0.3 Closed\n"
                  " P3 J2 T 70 100 90 Open\n"
                  "[DEMANDS]\n J2 4 P ; category\n"
                  "[PATTERNS]\n P 1.5 2\n P 3\n"
                  "[STATUS]\n P3 Closed\n"
                  "[COORDINATES]\n J1 1 2\n"
                  "[OPTIONS]\n Units LPS\n Headloss H-W\n Pattern P\n Demand Multiplier 0.8\n"
                  " Viscosity 1.2\n Trials 40\n");
    ASSERT_TRUE(r.ok) << r.messages();
    ASSERT_EQ(r.net.title.size(), 1u);
    EXPECT_EQ(r.net.title[0], "A small net ");
    ASSERT_EQ(r.net.junctions.size(), 2u);
    EXPECT_EQ(r.net.junctions[0].id, "J1");
    EXPECT_EQ(r.net.junctions[0].base_demand, 2.5);
    EXPECT_EQ(r.net.junctions[0].pattern, "P");
    EXPECT_EQ(r.net.junctions[0].line, 4);
    EXPECT_EQ(r.net.junctions[1].elevation, -3.0);
    EXPECT_EQ(r.net.junctions[1].base_demand, 0.0);
    ASSERT_EQ(r.net.tanks.size(), 1u);
    EXPECT_EQ(r.net.tanks[0].bottom_elevation, 100.0);
    EXPECT_EQ(r.net.tanks[0].initial_level, 5.0);
    ASSERT_EQ(r.net.pipes.size(), 3u);
    EXPECT_EQ(r.net.pipes[1].minor_loss, 0.3);
    EXPECT_EQ(r.net.pipes[1].status, LinkStatus::closed);
    EXPECT_EQ(r.net.pipes[2].status, LinkStatus::open); // status without a minor loss
    ASSERT_EQ(r.net.patterns.size(), 1u);
    EXPECT_EQ(r.net.patterns[0].multipliers, (std::vector<double>{1.5, 2.0, 3.0}));
    ASSERT_EQ(r.net.statuses.size(), 1u);
    EXPECT_EQ(r.net.statuses[0].status, LinkStatus::closed);
    EXPECT_EQ(r.net.options.units, FlowUnits::lps);
    EXPECT_EQ(r.net.options.default_pattern, "P");
    EXPECT_EQ(r.net.options.demand_multiplier, 0.8);
    EXPECT_EQ(r.net.options.viscosity, 1.2);
}

// Layout freedom the format allows: each case reads without an error.
TEST(ReadInp, TakesTheFormatsFreedoms) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"CR LF and TABs", "[JUNCTIONS]\r\n\tJ1\t10\t2\r\n[RESERVOIRS]\r\nR\t50\r\n[PIPES]\r\n"
                           "P\tR\tJ1\t100\t200\t120\r\n"},
        {"lower-case keywords", "[junctions]\n J1 10 2\n[Reservoirs]\n R 50\n[pipes]\n"
                                " P R J1 100 200 120\n[options]\n units lps\n headloss h-w\n"},
        {"sections in another order", "[PIPES]\n P R J1 100 200 120\n[RESERVOIRS]\n R 50\n"
                                      "[JUNCTIONS]\n J1 10 2\n"},
        {"a section twice", "[JUNCTIONS]\n J1 10 2\n[RESERVOIRS]\n R 50\n[JUNCTIONS]\n J2 0\n"
                            "[PIPES]\n P R J1 100 200 120\n P2 J1 J2 1 1 1\n"},
        {"quoted IDs with blanks", "[JUNCTIONS]\n \"Main St 1\" 10 2\n[RESERVOIRS]\n R 50\n"
                                   "[PIPES]\n P R \"Main St 1\" 100 200 120\n"},
        {"an ID of 31 characters", "[JUNCTIONS]\n " + std::string(31, 'j') +
                                       " 10\n[RESERVOIRS]\n R 50\n[PIPES]\n P R " +
                                       std::string(31, 'j') + " 100 200 120\n"},
        {"skipped sections", two_nodes + "[TIMES]\n Duration 24:00\n[REPORT]\n Status Yes\n"
                                         "[VERTICES]\n P 1 2\n[CURVES]\n C1 0 10\n"},
        {"no sections but one", "[JUNCTIONS]\n J1 10\n"},
        {"signs and exponents", "[JUNCTIONS]\n J1 +1e1 -2.5E-1\n"},
        {"text after [END]", two_nodes + "[END]\n garbage \x01 here\n"},
    };
    for (const Case& c : cases) {
        Read r = read(c.text);
        EXPECT_TRUE(r.ok) << c.name << "\n" << r.messages();
    }
    Read quoted = read(cases[4].text);
    EXPECT_EQ(quoted.net.junctions[0].id, "Main St 1");
    Read signs = read(cases[8].text);
    EXPECT_EQ(signs.net.junctions[0].elevation, 10.0);
    EXPECT_EQ(signs.net.junctions[0].base_demand, -0.25);
    Read ended = read(cases[9].text);
    EXPECT_EQ(ended.net.pipes.size(), 1u);
}

// Each fault gives one message naming the line; the rest of the file is still read.
TEST(ReadInp, NamesEveryFaultWithItsLine) {
    struct Case {
        const char* name;
        std::string text;
        std::string expected; // every message, in order
    };
    const Case cases[] = {
        {"an ID of 32 characters", "[JUNCTIONS]\n " + std::string(32, 'j') + " 10\n",
         "net.inp:2: error: ID '" + std::string(32, 'j') + "' is longer than 31 characters\n"},
        {"a duplicate node ID", "[JUNCTIONS]\n J1 1\n[RESERVOIRS]\n J1 50\n",
         "net.inp:4: error: node ID 'J1' is given twice (first on line 2)\n"},
        {"a duplicate link ID", two_nodes + " P J1 R 1 1 1\n",
         "net.inp:7: error: link ID 'P' is given twice (first on line 6)\n"},
        {"a link to an unknown node", "[JUNCTIONS]\n J1 1\n[PIPES]\n P J1 J9 1 1 1\n",
         "net.inp:4: error: pipe 'P' names node 'J9', which does not exist\n"},
        {"a demand at an unknown junction", two_nodes + "[DEMANDS]\n R 5\n",
         "net.inp:8: error: demand at 'R' names node 'R', which does not exist\n"},
        {"an unknown pattern", "[JUNCTIONS]\n J1 1 2 PX\n",
         "net.inp:2: error: junction 'J1' uses pattern 'PX', which does not exist\n"},
        {"a status for an unknown link", two_nodes + "[STATUS]\n Q Closed\n",
         "net.inp:8: error: [STATUS] names link 'Q', which does not exist\n"},
        {"a letter in a number", "[JUNCTIONS]\n J1 1O\n",
         "net.inp:2: error: [JUNCTIONS]: '1O' is not a number\n"},
        {"too few fields", "[PIPES]\n P A B 100 200\n",
         "net.inp:2: error: [PIPES] needs at least 6 fields, the line has 5\n"},
        {"a stray byte", "[JUNCTIONS]\n J1 1\x02\n",
         "net.inp:2: error: stray byte 0x02 in the line\n"},
        {"a NUL byte", std::string("[JUNCTIONS]\n J1\0 1\n", 17),
         "net.inp:2: error: stray byte 0x00 in the line\n"},
        {"an empty quoted ID", "[JUNCTIONS]\n \"\" 1\n", "net.inp:2: error: an ID is empty\n"},
        {"an empty quoted first token", "[JUNCTIONS]\n \"\"\n",
         "net.inp:2: error: [JUNCTIONS] needs at least 2 fields, the line has 1\n"},
        {"an unclosed quote", "[JUNCTIONS]\n \"J1 1\n",
         "net.inp:2: error: a quoted token is not closed\n"},
        {"a line too long", "[JUNCTIONS]\n J1 1 " + std::string(1100, '0') + "\n",
         "net.inp:2: error: line longer than 1024 characters\n"},
        {"unknown units", "[OPTIONS]\n Units GPH\n",
         "net.inp:2: error: unknown flow units 'GPH'\n"},
        {"an unknown section", "[PUMPZ]\n X 1\n",
         "net.inp:1: warning: unknown section [PUMPZ] skipped\n"},
        {"a section header without ]", "[JUNCTIONS\n J1 1\n",
         "net.inp:1: error: a section header needs a closing ]\n"},
        {"text before the first section", "J1 1\n" + two_nodes,
         "net.inp:1: warning: text before the first section is ignored\n"},
        {"no section at all", "J1 1\nJ2 2\n",
         "net.inp: error: this is not a .inp file: it has no [SECTION] line\n"},
        {"an empty file", "",
         "net.inp: error: this is not a .inp file: it has no [SECTION] line\n"},
        {"a turbnet input file",
         "         2         1         1         1        50 0.0000010    130.0000000\n"
         "         1    300.00    400.00\n",
         "net.inp: error: this is not a .inp file: it has no [SECTION] line: it looks like a "
         "lamnet "
         "or turbnet input file (fixed columns), which pipenet solve reads as it is\n"},
        {"a pattern without multipliers", "[PATTERNS]\n P\n",
         "net.inp:2: error: pattern 'P' has no multipliers\n"},
        {"a number out of range", "[JUNCTIONS]\n J1 1e999\n",
         "net.inp:2: error: [JUNCTIONS]: '1e999' is not a number\n"},
        {"infinity", "[JUNCTIONS]\n J1 inf\n",
         "net.inp:2: error: [JUNCTIONS]: 'inf' is not a number\n"},
    };
    for (const Case& c : cases) {
        Read r = read(c.text);
        EXPECT_EQ(r.messages(), c.expected) << c.name;
        bool has_error = c.expected.find(": error: ") != std::string::npos;
        EXPECT_EQ(r.ok, !has_error) << c.name;
    }
}

// What the field's solvers read without complaint is read the same way, with a warning that
// names the line.
TEST(ReadInp, ReadsLenientlyWhatTheFieldsSolversAccept) {
    struct Case {
        const char* name;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"units SI", two_nodes + "[OPTIONS]\n Units SI\n",
         "net.inp:8: warning: flow units SI read as LPS (litres per second)\n"},
        {"a default pattern that is not defined", two_nodes + "[OPTIONS]\n Pattern Daily\n",
         "net.inp:8: warning: default pattern 'Daily' does not exist: its multiplier is taken as "
         "1\n"},
        {"coordinates of a node that does not exist", two_nodes + "[COORDINATES]\n J9 1 2\n",
         "net.inp:8: warning: coordinates of node 'J9', which does not exist, are ignored\n"},
        {"a tank of two fields", two_nodes + "[TANKS]\n T 120\n",
         "net.inp:8: warning: tank 'T' gives only its elevation: held at that head, as a "
         "reservoir\n"},
    };
    for (const Case& c : cases) {
        Read r = read(c.text);
        EXPECT_TRUE(r.ok) << c.name;
        EXPECT_EQ(r.messages(), c.expected) << c.name;
    }
    EXPECT_EQ(read(cases[0].text).net.options.units, FlowUnits::lps);
    Read tank = read(cases[3].text);
    ASSERT_EQ(tank.net.tanks.size(), 1u);
    EXPECT_EQ(tank.net.tanks[0].bottom_elevation, 120.0);
    EXPECT_EQ(tank.net.tanks[0].initial_level, 0.0);
}

TEST(ReadInp, ReadsPumpsTheirCurvesAndSettings) {
    Read r = read(two_nodes + "[PUMPS]\n U1 R J1 HEAD C1 SPEED 1.1 PATTERN P\n"
                              " U2 J1 R power 7.5\n"
                              "[CURVES]\n C1 0 50\n C1 10 40 ; a comment\n C1 20 10\n"
                              "[PATTERNS]\n P 1\n[STATUS]\n U1 0.9\n U2 Closed\n");
    ASSERT_TRUE(r.ok) << r.messages();
    ASSERT_EQ(r.net.pumps.size(), 2u);
    EXPECT_EQ(r.net.pumps[0].curve, "C1");
    EXPECT_EQ(r.net.pumps[0].speed, 1.1);
    EXPECT_EQ(r.net.pumps[0].pattern, "P");
    EXPECT_EQ(r.net.pumps[0].power, 0.0);
    EXPECT_EQ(r.net.pumps[1].power, 7.5);
    EXPECT_EQ(r.net.pumps[1].speed, 1.0);
    EXPECT_EQ(r.net.pumps[1].line, 9);
    ASSERT_EQ(r.net.curves.size(), 1u);
    EXPECT_EQ(r.net.curves[0].line, 11);
    const std::vector<std::pair<double, double>> points = {{0, 50}, {10, 40}, {20, 10}};
    EXPECT_EQ(r.net.curves[0].points, points);
    ASSERT_EQ(r.net.statuses.size(), 2u);
    EXPECT_TRUE(r.net.statuses[0].setting);
    EXPECT_EQ(r.net.statuses[0].value, 0.9);
    EXPECT_FALSE(r.net.statuses[1].setting);
    EXPECT_EQ(r.net.statuses[1].status, LinkStatus::closed);
}

TEST(ReadInp, NamesEveryFaultOfAPumpWithItsLine) {
    struct Case {
        const char* name;
        std::string pump;   // the [PUMPS] line, line 8
        std::string curves; // the points of C1, from line 10
        std::string expected;
    };
    const Case cases[] = {
        {"no curve and no power", " U R J1", "",
         "net.inp:8: error: pump 'U' has no head curve (HEAD) and no power (POWER)\n"},
        {"a curve that does not exist", " U R J1 HEAD C9", " C1 10 40\n",
         "net.inp:8: error: pump 'U' uses curve 'C9', which does not exist\n"},
        {"one point at zero flow", " U R J1 HEAD C1", " C1 0 40\n",
         "net.inp:8: error: pump 'U' uses curve 'C1', whose single point is not above zero flow "
         "and head: the curve cannot be fitted\n"},
        {"flows that fall", " U R J1 HEAD C1", " C1 0 40\n C1 20 30\n C1 10 20\n",
         "net.inp:8: error: pump 'U' uses curve 'C1', whose flows do not increase from point to "
         "point\n"},
        {"heads that rise", " U R J1 HEAD C1", " C1 0 40\n C1 10 45\n C1 20 20\n",
         "net.inp:8: error: pump 'U' uses curve 'C1', whose heads do not fall from point to "
         "point\n"},
        {"a negative flow", " U R J1 HEAD C1", " C1 -5 40\n C1 10 30\n",
         "net.inp:8: error: pump 'U' uses curve 'C1', whose flows include a negative one\n"},
        {"an unknown keyword", " U R J1 HEAD C1 EFFIC E1", " C1 10 40\n",
         "net.inp:8: error: pump 'U': unknown keyword 'EFFIC' (HEAD, POWER, SPEED or PATTERN)\n"},
        {"a keyword without its value", " U R J1 HEAD C1 SPEED", " C1 10 40\n",
         "net.inp:8: error: pump 'U': SPEED has no value\n"},
        {"no power", " U R J1 POWER 0", "",
         "net.inp:8: error: pump 'U': its power is not positive\n"},
        {"a negative speed", " U R J1 HEAD C1 SPEED -1", " C1 10 40\n",
         "net.inp:8: error: pump 'U': its speed is negative\n"},
        {"a speed pattern that does not exist", " U R J1 HEAD C1 PATTERN PX", " C1 10 40\n",
         "net.inp:8: error: pump 'U' uses pattern 'PX', which does not exist\n"},
        {"a curve point of one number", " U R J1 HEAD C1", " C1 10\n",
         "net.inp:10: error: [CURVES] needs at least 3 fields, the line has 2\n"
         "net.inp:8: error: pump 'U' uses curve 'C1', which does not exist\n"},
    };
    for (const Case& c : cases) {
        Read r = read(two_nodes + "[PUMPS]\n" + c.pump + "\n[CURVES]\n" + c.curves);
        EXPECT_EQ(r.messages(), c.expected) << c.name;
        EXPECT_FALSE(r.ok) << c.name;
    }
}

TEST(ReadInp, NotesControlsThatMayChangeAStatusLater) {
    Read r = read(two_nodes + "[CONTROLS]\n LINK P CLOSED AT TIME 2\n");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.net.controls_line, 8);
}

} // namespace
} // namespace pipenet::exchange
