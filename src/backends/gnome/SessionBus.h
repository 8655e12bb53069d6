#pragma once

#include <gio/gio.h>

namespace pelmora {

// The user's session bus, where one runs: named by the environment, or the
// socket in the runtime directory that systemd's user manager keeps. Never
// GLib's fallback of launching a bus for the X display, which would leave a
// daemon behind on a desktop that has none.
class SessionBus {
public:
    // A new reference, or nullptr.
    static GDBusConnection* connect();
    // Whether a client on `bus` owns the well-known `name` now.
    static bool nameRuns(GDBusConnection* bus, const char* name);
};

}  // namespace pelmora
