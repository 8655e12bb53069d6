#pragma once

namespace pelmora {

// What the hack does with X errors. Xlib's default handlers print a
// multi-line dump and exit, which the user of a screen locker would see as a
// crash; these print at most one line.
class XErrorPolicy {
public:
    // Errors about a missing window or drawable are left to the caller, who
    // sees the failed request and explains it (a bad window ID, or a window
    // that went away: its DestroyNotify arrives before any such error, so the
    // frame loop ends cleanly on the event). Any other error is a fault of
    // the hack: one line and exit status 1. A lost connection: one line and
    // exit status 1.
    static void install();
};

}  // namespace pelmora
