#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "FrameGate.h"
#include "Sight.h"
#include "StreamText.h"

namespace pelmora {
namespace {

using testing::readAll;

// Each cause alone hides the view; it is seen again only once all are gone,
// and only the changes of the whole are said.
TEST(SightTest, AnyCauseClosesTheGateAndOnlyTheLastToGoOpensIt) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    FrameGate gate;
    Sight sight(gate);
    sight.reportTo(log, "window 0x400001 at 0,0");
    EXPECT_FALSE(sight.set(Sight::Cause::Covered, false, 3));
    EXPECT_TRUE(sight.set(Sight::Cause::Covered, true, 12));
    EXPECT_FALSE(gate.open());
    EXPECT_FALSE(sight.set(Sight::Cause::MonitorOff, true, 12));
    EXPECT_FALSE(sight.set(Sight::Cause::Covered, false, 12));
    EXPECT_FALSE(gate.open()) << "the monitor is still off";
    EXPECT_TRUE(sight.hiddenBy(Sight::Cause::MonitorOff));
    EXPECT_TRUE(sight.set(Sight::Cause::MonitorOff, false, 12));
    EXPECT_TRUE(gate.open());
    EXPECT_EQ(readAll(log),
              "pelmora: window 0x400001 at 0,0: not seen, frames stop after frame 12\n"
              "pelmora: window 0x400001 at 0,0: seen again, frames resume\n");
    std::fclose(log);
}

TEST(SightTest, WithoutASourceTheLineNamesNone) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    FrameGate gate;
    Sight sight(gate);
    sight.reportTo(log);
    sight.set(Sight::Cause::Minimised, true, 0);
    EXPECT_EQ(readAll(log), "pelmora: not seen, frames stop after frame 0\n");
    std::fclose(log);
}

}  // namespace
}  // namespace pelmora
