// The model filled from the programs' fixed-column files: values, IDs and the place of each.
#include <string>

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
