#include <gtest/gtest.h>

#include "WindowId.h"

namespace pelmora {
namespace {

TEST(WindowIdTest, ReadsHexAsXScreenSaverWritesItAndDecimalAsXsecurelockDoes) {
    EXPECT_EQ(parseWindowId("0x1a00007"), 0x1a00007U);
    EXPECT_EQ(parseWindowId("0X1A00007"), 0x1a00007U);
    EXPECT_EQ(parseWindowId("27262983"), 27262983U);
    EXPECT_EQ(parseWindowId("0xffffffff"), 0xffffffffU);
}

TEST(WindowIdTest, RejectsWhatIsNotAWindow) {
    for (const char* text : {"", "0x", "0", "0x0", "-5", "+5", "0x-5", "12abc", "0x12zz", " 42", "42 ", "0x100000000",
                             "99999999999999999999999", "window"}) {
        EXPECT_FALSE(parseWindowId(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace pelmora
