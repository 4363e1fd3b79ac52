// The model's storage: what a place holds of the columns it is given.
#include <gtest/gtest.h>

#include "model/network_model.hpp"

namespace pipenet::model {
namespace {

TEST(ModelPlace, KeepsColumnsAndHoldsOnesPastItsRangeAtTheLastItHolds) {
    struct Case {
        std::int32_t first, last;
        std::int32_t held_first, held_last;
    };
    // A column that wrapped round would come back as 70000 - 65536 = 4464.
    for (const Case& c :
         {Case{11, 20, 11, 20}, Case{65535, 65535, 65535, 65535}, Case{65530, 70000, 65530, 65535},
          Case{70000, 140000, 65535, 65535}, Case{0, 0, 0, 0}}) {
        const Place place(7, c.first, c.last);
        EXPECT_EQ(place.line, 7);
        EXPECT_EQ(place.first_column, c.held_first) << c.first;
        EXPECT_EQ(place.last_column, c.held_last) << c.last;
    }
    EXPECT_EQ(place_text("net.inp", Place(3, 70000, 70001)), "net.inp:3:65535-65535");
    EXPECT_EQ(place_text("net.inp", Place{}), "net.inp");
}

} // namespace
} // namespace pipenet::model
