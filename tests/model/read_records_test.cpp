// The model filled from the programs' fixed-column files: values, IDs and the place of each.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/findings.hpp"
#include "model/read_records.hpp"

namespace pipenet::model {
namespace {

// The laminar loop of the README; node records out of order to show that IDs follow numbers.
const std::string loop = "         4         4         2         1    97900.\n"
                         "         2     80.00      0.00\n"
                         "         1      0.00      0.00\n"
                         "         3     80.00     60.00\n"
                         "         4      0.00     60.00\n"
                         "         1         1         2   0.20000\n"
                         "         2         2         3   0.15000\n"
                         "         3         1         4   0.15000\n"
                         "         7         4         3   0.20000\n"
                         "         3     -0.6000\n"
                         "         4     -0.2000\n"
                         "         1  120.0000\n";

TEST(ReadModel, LaminarFileGivesValuesIdsAndPlaces) {
    Model model;
    std::string error;
    ASSERT_TRUE(read_model(loop, Program::lamnet, "input-lin.dat", model, error)) << error;
    EXPECT_EQ(model.law, HeadLossLaw::laminar);
    EXPECT_DOUBLE_EQ(model.rho_g_over_mu.value, 97900.0);
    ASSERT_EQ(model.nodes.size(), 4u);
    ASSERT_EQ(model.links.size(), 4u);
    // Node 2's record is the first line after the header.
    EXPECT_EQ(model.nodes[1].id, "2");
    EXPECT_EQ(model.nodes[1].x.place.line, 2);
    EXPECT_DOUBLE_EQ(model.nodes[1].x.value, 80.0);
    EXPECT_EQ(model.links[3].id, "7");
    EXPECT_EQ(model.links[3].start, 3);
    EXPECT_EQ(model.links[3].end, 2);
    EXPECT_DOUBLE_EQ(model.links[1].length.value, 60.0);
    // 0.15 as typed, not the float the field reads widened.
    EXPECT_EQ(model.links[1].diameter.value, 0.15);
    EXPECT_EQ(model.links[1].diameter.place.line, 7);
    EXPECT_EQ(model.links[1].diameter.place.first_column, 31);
    EXPECT_EQ(model.links[1].diameter.place.last_column, 40);
    EXPECT_EQ(model.nodes[2].demand.value, -0.6);
    EXPECT_EQ(place_text("input-lin.dat", model.nodes[2].demand.place), "input-lin.dat:10:11-22");
    EXPECT_FALSE(model.nodes[0].demand.place.known());
    ASSERT_TRUE(model.nodes[0].fixed_head.has_value());
    EXPECT_DOUBLE_EQ(model.nodes[0].fixed_head->value, 120.0);
    EXPECT_EQ(model.nodes[0].fixed_head->place.line, 12);
    EXPECT_DOUBLE_EQ(model.nodes[3].elevation.value, 0.0);
}

TEST(ReadModel, TurbulentFileGivesOneRoughnessForEveryPipe) {
    const std::string text =
        "         2         1         1         1        20 0.0000010    130.0000000\n"
        "         1      0.00      0.00\n"
        "         2    300.00    400.00\n"
        "         1         1         2   0.30000\n"
        "         2     -0.0500\n"
        "         1   50.0000\n";
    Model model;
    std::string error;
    ASSERT_TRUE(read_model(text, Program::turbnet, "input-nonlin.dat", model, error)) << error;
    EXPECT_EQ(model.law, HeadLossLaw::hazen_williams_programs);
    EXPECT_DOUBLE_EQ(model.links[0].roughness.value, 130.0);
    EXPECT_EQ(model.links[0].roughness.place.line, 1);
    EXPECT_EQ(model.links[0].roughness.place.first_column, 61);
    EXPECT_DOUBLE_EQ(model.links[0].length.value, 500.0);
}

TEST(ReadModel, RefusesNumbersOutsideTheCountsAndUnreadableRecords) {
    struct Case {
        const char* name;
        std::string text;
        const char* error_part;
    };
    const Case cases[] = {
        {"pipe end outside",
         "         2         1         0         1    97900.\n"
         "         1      0.00      0.00\n"
         "         2     80.00      0.00\n"
         "         1         1         3   0.20000\n"
         "         1  120.0000\n",
         "pipe 1"},
        {"missing record",
         "         2         1         0         1    97900.\n"
         "         1      0.00      0.00\n",
         "line 3"},
    };
    for (const Case& c : cases) {
        Model model;
        std::string error;
        EXPECT_FALSE(read_model(c.text, Program::lamnet, "f", model, error)) << c.name;
        EXPECT_NE(error.find(c.error_part), std::string::npos) << c.name << ": " << error;
    }
}

void expect_same_read(const Read& a, const Read& b, const std::string& what) {
    EXPECT_EQ(a.value, b.value) << what;
    EXPECT_EQ(a.place.line, b.place.line) << what;
    EXPECT_EQ(a.place.first_column, b.place.first_column) << what;
    EXPECT_EQ(a.place.last_column, b.place.last_column) << what;
}

// Every value of the two models, place by place.
void expect_same_model(const Model& a, const Model& b, const std::string& name) {
    EXPECT_EQ(a.file, b.file) << name;
    EXPECT_EQ(a.law, b.law) << name;
    EXPECT_EQ(a.units.length, b.units.length) << name;
    EXPECT_EQ(a.units.discharge, b.units.discharge) << name;
    EXPECT_EQ(a.units.file, b.units.file) << name;
    expect_same_read(a.rho_g_over_mu, b.rho_g_over_mu, name + ": rho g / mu");
    EXPECT_EQ(a.viscosity, b.viscosity) << name;
    EXPECT_EQ(a.pumps.size(), b.pumps.size()) << name;
    EXPECT_EQ(a.valves.size(), b.valves.size()) << name;
    EXPECT_EQ(a.elevations, b.elevations) << name;
    EXPECT_EQ(a.tanks, b.tanks) << name;
    EXPECT_EQ(a.time, b.time) << name;
    ASSERT_EQ(a.nodes.size(), b.nodes.size()) << name;
    for (std::size_t i = 0; i < a.nodes.size(); ++i) {
        const Node& x = a.nodes[i];
        const Node& y = b.nodes[i];
        const std::string what = name + ": node " + std::to_string(i + 1);
        EXPECT_EQ(x.id, y.id) << what;
        expect_same_read(x.x, y.x, what + " x");
        expect_same_read(x.y, y.y, what + " y");
        expect_same_read(x.elevation, y.elevation, what + " elevation");
        expect_same_read(x.demand, y.demand, what + " demand");
        ASSERT_EQ(x.fixed_head.has_value(), y.fixed_head.has_value()) << what;
        if (x.fixed_head) expect_same_read(*x.fixed_head, *y.fixed_head, what + " head");
        EXPECT_EQ(x.record.line, y.record.line) << what;
    }
    ASSERT_EQ(a.links.size(), b.links.size()) << name;
    for (std::size_t e = 0; e < a.links.size(); ++e) {
        const Link& x = a.links[e];
        const Link& y = b.links[e];
        const std::string what = name + ": link " + std::to_string(e + 1);
        EXPECT_EQ(x.id, y.id) << what;
        EXPECT_EQ(x.start, y.start) << what;
        EXPECT_EQ(x.end, y.end) << what;
        expect_same_read(x.length, y.length, what + " length");
        expect_same_read(x.diameter, y.diameter, what + " diameter");
        expect_same_read(x.roughness, y.roughness, what + " roughness");
        expect_same_read(x.minor_loss, y.minor_loss, what + " minor loss");
        EXPECT_EQ(x.status, y.status) << what;
        EXPECT_EQ(x.check_valve, y.check_valve) << what;
        EXPECT_EQ(x.kind, y.kind) << what;
        EXPECT_EQ(x.record.line, y.record.line) << what;
    }
}

// A model read into one that held another network (whose storage and IDs are kept for reuse)
// is the model read into a new one: no value, flag or ID of the network before is left over.
TEST(ReadModel, AModelReadIntoOneInUseIsTheModelReadAlone) {
    const std::string turbulent =
        "         2         1         1         1        20 0.0000010    130.0000000\n"
        "         1      0.00      0.00\n"
        "         2    300.00    400.00\n"
        "         1         1         2   0.30000\n"
        "         2     -0.0500\n"
        "         1   50.0000\n";
    // The loop with pipes numbered 10, 2, 3 and 70, other values, the known head at node 4.
    const std::string renumbered = "         4         4         1         1    97900.\n"
                                   "         1      0.00      0.00\n"
                                   "         2     80.00      0.00\n"
                                   "         3     80.00     60.00\n"
                                   "         4      0.00     60.00\n"
                                   "        10         1         2   0.25000\n"
                                   "         2         2         3   0.15000\n"
                                   "         3         1         4   0.15000\n"
                                   "        70         4         3   0.20000\n"
                                   "         3     -0.8000\n"
                                   "         4  110.0000\n";
    // What a .inp file leaves in a model, beyond what the programs' files fill.
    Model inp;
    inp.file = "a-longer-file-name-than-a-short-string-holds.inp";
    inp.law = HeadLossLaw::darcy_weisbach;
    inp.viscosity = 1e-6;
    inp.elevations = true;
    inp.tanks = 1;
    inp.time = 3600;
    inp.units.file = "GPM";
    for (const char* id : {"J1", "J2", "1", "4", "R9"}) {
        Node& node = inp.nodes.emplace_back();
        node.id = id;
        node.elevation = {12.5, Place(3, 1, 4)};
        node.demand = {-1.0, Place(3, 5, 8)};
        node.fixed_head = Read{40.0, Place(4, 1, 2)};
    }
    for (const char* id : {"P1", "2", "PU", "V", "L5"}) {
        Link& link = inp.links.emplace_back();
        link.id = id;
        link.minor_loss = {0.5, Place(7, 1, 3)};
        link.status = LinkStatus::closed;
        link.check_valve = true;
        link.kind = LinkKind::pump;
    }
    inp.pumps.emplace_back();
    inp.valves.emplace_back();

    struct Case {
        const char* name;
        Program program;
        const std::string& text;
    };
    const Case cases[] = {
        {"laminar loop", Program::lamnet, loop},
        {"turbulent pair", Program::turbnet, turbulent},
        {"renumbered loop", Program::lamnet, renumbered},
    };
    std::vector<Model> before(1, inp);
    for (const Case& c : cases) {
        Model alone;
        std::string error;
        ASSERT_TRUE(read_model(c.text, c.program, "f.dat", alone, error)) << c.name;
        before.push_back(alone);
    }
    for (const Case& c : cases) {
        Model alone;
        std::string error;
        ASSERT_TRUE(read_model(c.text, c.program, "f.dat", alone, error)) << c.name;
        for (std::size_t b = 0; b < before.size(); ++b) {
            Model reused = before[b];
            ASSERT_TRUE(read_model(c.text, c.program, "f.dat", reused, error)) << c.name;
            expect_same_model(reused, alone,
                              std::string(c.name) + " after model " + std::to_string(b));
        }
    }
}

TEST(Findings, EveryCodeIsDistinctAndFilledInOrder) {
    const Finding f = make_finding(Code::bad_link, {"P7", "its length is 0"});
    EXPECT_EQ(f.text, "link P7: its length is 0");
    EXPECT_EQ(finding_entry(Code::bad_link).code, "bad-link");
    for (int a = 0; a <= static_cast<int>(Code::discharge_outlier); ++a) {
        EXPECT_EQ(static_cast<int>(finding_entry(static_cast<Code>(a)).id), a);
        for (int b = 0; b < a; ++b)
            EXPECT_NE(finding_entry(static_cast<Code>(a)).code,
                      finding_entry(static_cast<Code>(b)).code);
    }
}

} // namespace
} // namespace pipenet::model
