#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "PointerTravel.h"

namespace pelmora {
namespace {

TEST(PointerTravel, TheFirstPositionIsWhereThePointerRests) {
    PointerTravel travel;
    EXPECT_FALSE(travel.movedAway(500.0, 400.0));
    EXPECT_FALSE(travel.movedAway(506.0, 408.0));  // exactly 10 away: still a nudge
    EXPECT_FALSE(travel.movedAway(492.0, 394.0));
    EXPECT_TRUE(travel.movedAway(500.0, 410.5));
    // The rest point stays put: creeping in small steps still adds up.
    EXPECT_TRUE(travel.movedAway(511.0, 400.0));
}

TEST(PointerTravel, HugeAndOddCoordinates) {
    PointerTravel travel;
    const double huge = std::numeric_limits<double>::max();
    EXPECT_FALSE(travel.movedAway(huge, huge));
    EXPECT_FALSE(travel.movedAway(huge, huge));
    EXPECT_TRUE(travel.movedAway(-huge, huge));

    PointerTravel custom(0.5);
    EXPECT_FALSE(custom.movedAway(1.0, 1.0));
    EXPECT_TRUE(custom.movedAway(1.0, 1.6));
}

}  // namespace
}  // namespace pelmora
