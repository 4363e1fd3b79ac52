// Controls and rules of a .inp file at the time analysed: what holds then is applied to the
// links of the model, everything else is said not to be applied, each with its line.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/read_inp.hpp"

namespace pipenet::model {
namespace {

// Lines 1-17; the controls start on line 18.
const std::string network = "[JUNCTIONS]\n J1 10 5\n J2 5 10\n J3 0 8\n[RESERVOIRS]\n R 80\n"
                            "[TANKS]\n T 40 5 0 10 10 0\n[PIPES]\n P1 R J1 500 200 120\n"
                            " P2 J2 J3 400 150 120\n P3 T J3 300 100 120\n[VALVES]\n"
                            " V1 J1 J2 150 PRV 30\n[OPTIONS]\n Units LPS\n[CONTROLS]\n";

struct Outcome {
    Model model;
    std::vector<exchange::Diagnostic> diagnostics;
    // The text of the message on `line`, or "".
    std::string said(std::int32_t line) const {
        for (const exchange::Diagnostic& d : diagnostics)
            if (d.line == line) return d.text;
        return "";
    }
};

Outcome read(const std::string& controls, std::int64_t time) {
    Outcome o;
    EXPECT_TRUE(read_inp_model(network + controls, "net.inp", time, o.model, o.diagnostics));
    return o;
}

TEST(InpControls, TheLatestTimedControlAtOrBeforeTheTimeHolds) {
    const std::string controls = " LINK P3 CLOSED AT TIME 2\n LINK P3 OPEN AT TIME 4:30\n";
    struct Case {
        std::int64_t time;
        LinkStatus p3;
        std::string line18, line19;
    };
    const std::vector<Case> cases = {
        {3600, LinkStatus::open, "it acts at 2:00, after the time analysed",
         "it acts at 4:30, after the time analysed"},
        {3 * 3600, LinkStatus::closed, "control applied: link 'P3' closed from time 2:00 on",
         "it acts at 4:30, after the time analysed"},
        {5 * 3600, LinkStatus::open, "", "control applied: link 'P3' open from time 4:30 on"},
    };
    for (const Case& c : cases) {
        const Outcome o = read(controls, c.time);
        EXPECT_EQ(o.model.links[2].status, c.p3) << c.time;
        EXPECT_NE(o.said(18).find(c.line18), std::string::npos) << c.time << ": " << o.said(18);
        EXPECT_NE(o.said(19).find(c.line19), std::string::npos) << c.time << ": " << o.said(19);
    }
}

TEST(InpControls, AClockTimeControlActsEveryDayFromTheStartClockTime) {
    struct Case {
        std::string times, control;
        std::int64_t time;
        LinkStatus p3;
        std::string says;
    };
    const std::vector<Case> cases = {
        // From midnight, 6 AM is 6:00 after the start.
        {"", " LINK P3 CLOSED AT CLOCKTIME 6 AM\n", 7 * 3600, LinkStatus::closed,
         "link 'P3' closed from time 6:00 on"},
        {"", " LINK P3 CLOSED AT CLOCKTIME 6:30 PM\n", 7 * 3600, LinkStatus::open,
         "it first acts at 18:30, after the time analysed"},
        // Starting at 8 PM, 6 AM comes 10 hours later, and again a day after that.
        {"[TIMES]\n Start ClockTime 8 PM\n", " LINK P3 CLOSED AT CLOCKTIME 6 AM\n", 40 * 3600,
         LinkStatus::closed, "link 'P3' closed from time 34:00 on"},
        {"[TIMES]\n Start ClockTime 20:00\n", " LINK P3 CLOSED AT CLOCKTIME 6:00\n", 9 * 3600,
         LinkStatus::open, "it first acts at 10:00"},
        {"", " LINK P3 CLOSED AT CLOCKTIME 13 PM\n", 0, LinkStatus::open,
         "its time of day '13' is not a clock time"},
    };
    for (const Case& c : cases) {
        // The [TIMES] lines come before [CONTROLS], so that the control's line stays 18 plus
        // their number.
        Outcome o;
        std::string text = network;
        text.insert(text.find("[CONTROLS]"), c.times);
        EXPECT_TRUE(read_inp_model(text + c.control, "net.inp", c.time, o.model, o.diagnostics));
        const std::int32_t line = c.times.empty() ? 18 : 20;
        EXPECT_EQ(o.model.links[2].status, c.p3) << c.control;
        EXPECT_NE(o.said(line).find(c.says), std::string::npos)
            << c.control << ": " << o.said(line);
    }
}

TEST(InpControls, ATanksLevelDecidesAtTheStartOnly) {
    // T starts 5 m above its bottom. A new PRV setting of 25 m of water when it is above 4.
    struct Case {
        std::string control;
        std::int64_t time;
        double setting; // m
        std::string says;
    };
    const std::vector<Case> cases = {
        {" LINK V1 25 IF NODE T ABOVE 4\n", 0, 25.0, "control applied: link 'V1' set to 25"},
        {" LINK V1 25 IF NODE T BELOW 4\n", 0, 30.0, "initial level of tank 'T' is not below 4"},
        {" LINK V1 25 IF NODE T ABOVE 4\n", 3600, 30.0, "the level of tank 'T' at that time"},
        {" LINK V1 CLOSED IF NODE J3 BELOW 20\n", 0, 30.0, "pressure or head at node 'J3'"},
        {" LINK V1 CLOSED AT CLOCKTIME 6 AM\n", 0, 30.0, "it first acts at 6:00, after the time"},
        {" LINK P1 25 AT TIME 0\n", 0, 30.0, "a setting has no effect on a pipe"},
        {" PUMP X ON\n", 0, 30.0, "not a LINK ... AT or LINK ... IF control"},
    };
    for (const Case& c : cases) {
        const Outcome o = read(c.control, c.time);
        EXPECT_DOUBLE_EQ(o.model.valves[0].setting, c.setting) << c.control;
        EXPECT_EQ(o.model.links[3].status, LinkStatus::open) << c.control;
        EXPECT_NE(o.said(18).find(c.says), std::string::npos) << c.control << ": " << o.said(18);
    }
}

TEST(InpControls, ValveStatusesAndRulesAreSaid) {
    const Outcome closed = read(" LINK V1 CLOSED AT TIME 0\n LINK P2 CLOSED AT TIME 0\n", 0);
    EXPECT_EQ(closed.model.links[3].status, LinkStatus::closed);
    EXPECT_EQ(closed.model.links[1].status, LinkStatus::closed);
    const Outcome open = read(" LINK V1 OPEN AT TIME 0\n", 0);
    EXPECT_TRUE(open.model.valves[0].fixed_open);

    std::string rules = "[RULES]\n";
    for (int i = 1; i <= 12; ++i)
        rules += "RULE " + std::to_string(i) +
                 "\nIF TANK T LEVEL ABOVE 9\nTHEN LINK P3 STATUS IS "
                 "CLOSED\n";
    const Outcome o = read(rules, 0);
    // The first ten one by one, then one line for the rest.
    EXPECT_NE(o.said(19).find("rule '1' not applied"), std::string::npos) << o.said(19);
    EXPECT_NE(o.said(46).find("rule '10' not applied"), std::string::npos) << o.said(46);
    EXPECT_NE(o.said(49).find("... and 2 more rules not applied (lines 49 to 52)"),
              std::string::npos)
        << o.said(49);
}

// A pump's control opens or closes it, or sets its relative speed (0 stops it).
TEST(InpControls, APumpsControlSetsItsStatusOrSpeed) {
    // Lines 1-13; the control is on line 14.
    const std::string pumped = "[JUNCTIONS]\n J1 0 5\n[RESERVOIRS]\n R 10\n[PIPES]\n"
                               " P1 J1 R 100 200 120\n[PUMPS]\n U R J1 HEAD C\n[CURVES]\n"
                               " C 20 30\n[OPTIONS]\n Units LPS\n[CONTROLS]\n";
    struct Case {
        std::string control;
        std::int64_t time;
        LinkStatus status;
        double speed;
        std::string says;
    };
    const std::vector<Case> cases = {
        {" LINK U 0.8 AT TIME 0\n", 0, LinkStatus::open, 0.8,
         "control applied: link 'U' set to speed 0.8 from time 0:00 on"},
        {" LINK U 0 AT TIME 1\n", 3600, LinkStatus::closed, 0.0,
         "control applied: link 'U' set to speed 0 from time 1:00 on"},
        {" LINK U CLOSED AT TIME 1\n", 3600, LinkStatus::closed, 1.0,
         "control applied: link 'U' closed from time 1:00 on"},
        {" LINK U CLOSED AT TIME 1\n", 0, LinkStatus::open, 1.0,
         "it acts at 1:00, after the time analysed"},
        {" LINK U FAST AT TIME 0\n", 0, LinkStatus::open, 1.0,
         "its speed 'FAST' is not a number of 0 or more"},
        {" LINK U -1 AT TIME 0\n", 0, LinkStatus::open, 1.0,
         "its speed '-1' is not a number of 0 or more"},
    };
    for (const Case& c : cases) {
        Outcome o;
        ASSERT_TRUE(
            read_inp_model(pumped + c.control, "pumped.inp", c.time, o.model, o.diagnostics))
            << c.control;
        ASSERT_EQ(o.model.pumps.size(), 1u);
        const Link& pump = o.model.links[static_cast<std::size_t>(o.model.pumps[0].link)];
        EXPECT_EQ(pump.id, "U");
        EXPECT_EQ(pump.status, c.status) << c.control;
        EXPECT_DOUBLE_EQ(o.model.pumps[0].speed, c.speed) << c.control;
        EXPECT_NE(o.said(14).find(c.says), std::string::npos) << c.control << ": " << o.said(14);
    }
}

} // namespace
} // namespace pipenet::model
