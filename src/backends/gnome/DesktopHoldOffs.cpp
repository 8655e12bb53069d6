#include "DesktopHoldOffs.h"

#include <gio/gio.h>

#include <string>

#include "BusQuestionHoldOff.h"
#include "SessionBus.h"

namespace pelmora {

namespace {

// GNOME's session manager's inhibit flag for "the session being marked as
// idle" (its other flags are 1 logout, 2 user switching, 4 suspend and 16
// automounting).
constexpr guint32 kInhibitIdle = 8;
// A setup question to logind is answered at once or not at all.
constexpr int kSetupMilliseconds = 2000;

GDBusConnection* systemBus() {
    GError* error = nullptr;
    GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    return connection;
}

GVariant* callSync(GDBusConnection* connection, const char* path, const char* interface, const char* method,
                   GVariant* arguments, const GVariantType* replyType) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(connection, "org.freedesktop.login1", path, interface, method,
                                                  arguments, replyType, G_DBUS_CALL_FLAGS_NO_AUTO_START,
                                                  kSetupMilliseconds, nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    return reply;
}

// The object of the session this program runs for: its own, or, for a user
// service that runs outside any session, the user's graphical one, which
// logind calls "auto". Empty when logind does not say.
std::string sessionPath(GDBusConnection* system) {
    GVariant* id = callSync(system, "/org/freedesktop/login1/session/auto", "org.freedesktop.DBus.Properties", "Get",
                            g_variant_new("(ss)", "org.freedesktop.login1.Session", "Id"), G_VARIANT_TYPE("(v)"));
    if (id == nullptr) {
        return {};
    }
    GVariant* boxed = nullptr;
    g_variant_get(id, "(v)", &boxed);
    g_variant_unref(id);
    std::string path;
    if (g_variant_is_of_type(boxed, G_VARIANT_TYPE_STRING)) {
        GVariant* object = callSync(system, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "GetSession",
                                    g_variant_new("(s)", g_variant_get_string(boxed, nullptr)), G_VARIANT_TYPE("(o)"));
        if (object != nullptr) {
            const gchar* found = nullptr;
            g_variant_get(object, "(&o)", &found);
            path = found;
            g_variant_unref(object);
        }
    }
    g_variant_unref(boxed);
    return path;
}

}  // namespace

std::vector<std::unique_ptr<HoldOff>> DesktopHoldOffs::open() {
    std::vector<std::unique_ptr<HoldOff>> holdOffs;
    if (GDBusConnection* session = SessionBus::connect()) {
        holdOffs.push_back(std::make_unique<BusQuestionHoldOff>(
            session, BusQuestionHoldOff::Question{"an application inhibits idleness",
                                                  "org.gnome.SessionManager",
                                                  "/org/gnome/SessionManager",
                                                  "org.gnome.SessionManager",
                                                  "IsInhibited",
                                                  g_variant_new("(u)", kInhibitIdle),
                                                  "org.gnome.SessionManager",
                                                  {"InhibitorAdded", "InhibitorRemoved"}}));
        holdOffs.push_back(std::make_unique<BusQuestionHoldOff>(
            session, BusQuestionHoldOff::Question{"the lock screen is up", "org.gnome.ScreenSaver",
                                                  "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "GetActive",
                                                  nullptr, "org.gnome.ScreenSaver", {"ActiveChanged"}}));
        g_object_unref(session);
    }
    if (GDBusConnection* system = systemBus()) {
        const std::string path = sessionPath(system);
        if (!path.empty()) {
            holdOffs.push_back(std::make_unique<BusQuestionHoldOff>(
                system, BusQuestionHoldOff::Question{"the session is locked", "org.freedesktop.login1", path,
                                                     "org.freedesktop.DBus.Properties", "Get",
                                                     g_variant_new("(ss)", "org.freedesktop.login1.Session",
                                                                   "LockedHint"),
                                                     "org.freedesktop.DBus.Properties", {"PropertiesChanged"}}));
        }
        g_object_unref(system);
    }
    return holdOffs;
}

}  // namespace pelmora
