#include "SessionBus.h"

#include <glib.h>

#include <string>

namespace pelmora {

namespace {

constexpr int kAnswerMilliseconds = 5000;

}  // namespace

GDBusConnection* SessionBus::connect() {
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    const bool named = address != nullptr && *address != '\0';
    const std::string socket = std::string(g_get_user_runtime_dir()) + "/bus";
    if (!named && !g_file_test(socket.c_str(), G_FILE_TEST_EXISTS)) {
        return nullptr;
    }
    return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
}

bool SessionBus::nameRuns(GDBusConnection* bus, const char* name) {
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name),
                                                  G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, kAnswerMilliseconds,
                                                  nullptr, nullptr);
    if (reply == nullptr) {
        return false;
    }
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned != FALSE;
}

}  // namespace pelmora
