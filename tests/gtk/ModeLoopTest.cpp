// The main loop a GTK mode runs, without a display: how its ends are kept.
#include "ModeLoop.h"

#include <gtest/gtest.h>
#include <signal.h>


namespace pelmora {
namespace {

// Runs `loop` with a limit: a loop that forgot how it was ended would
// otherwise run for ever; past the limit it fails, with status 1.
int runWithin10Seconds(ModeLoop& loop) {
    struct Limit {
        ModeLoop* loop;
        bool reached = false;
    } limit{&loop};
    const guint source = g_timeout_add_seconds(
        10,
        [](gpointer data) -> gboolean {
            auto* reached = static_cast<Limit*>(data);
            reached->reached = true;
            reached->loop->fail();
            return G_SOURCE_REMOVE;
        },
        &limit);
    const int status = loop.run();
    if (!limit.reached) {
        g_source_remove(source);
    }
    return status;
}

TEST(ModeLoop, ASignalTakenBeforeTheLoopRunsEndsItAtOnceWithStatusZero) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ModeLoop loop;
        raise(signal);
        // GTK may dispatch pending sources while the windows are being made,
        // before the mode's loop starts.
        while (g_main_context_iteration(nullptr, FALSE) != FALSE) {
        }
        EXPECT_EQ(runWithin10Seconds(loop), 0) << signal;
    }
}

TEST(ModeLoop, AFailureEndsItWithStatusOneAndAnEndWithZeroEvenBeforeItRuns) {
    ModeLoop failed;
    failed.fail();
    EXPECT_EQ(runWithin10Seconds(failed), 1);
    ModeLoop ended;
    ended.end();
    EXPECT_EQ(runWithin10Seconds(ended), 0);
}

}  // namespace
}  // namespace pelmora
