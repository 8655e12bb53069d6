#pragma once

#include <glib.h>

#include <vector>

namespace pelmora {

// The main loop of a GTK mode and the ways it ends: SIGTERM, SIGINT or
// SIGHUP and a window's request end it with status 0, a failure with 1. The
// signals are caught from the moment it is made, so make it before the
// display is opened: a signal during start-up then ends the mode as soon as
// the loop would start, instead of killing the process. An end asked for
// before the loop runs is kept, not forgotten when the loop starts.
class ModeLoop {
public:
    ModeLoop();
    ~ModeLoop();
    ModeLoop(const ModeLoop&) = delete;
    ModeLoop& operator=(const ModeLoop&) = delete;

    // Ends the loop normally.
    void end();
    // Ends the loop with status 1 (the failure has been reported).
    void fail();
    // Runs until an end, unless one came already; the exit status.
    int run();

private:
    static gboolean onSignal(gpointer self);

    GMainLoop* loop_;
    std::vector<guint> signalSources_;
    bool ended_ = false;
    int status_ = 0;
};

}  // namespace pelmora
