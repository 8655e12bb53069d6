#include "MutterIdleSource.h"

#include <cstdio>

#include "SessionBus.h"

namespace pelmora {

namespace {

constexpr const char* kService = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kPath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* kInterface = "org.gnome.Mutter.IdleMonitor";
constexpr int kAnswerMilliseconds = 5000;

// A watch's number from Mutter's reply, or 0 when the call failed (or was
// cancelled, in which case `cancelled` is set and the source is gone).
guint32 watchNumber(GObject* bus, GAsyncResult* result, bool& cancelled) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
    cancelled = false;
    if (reply == nullptr) {
        cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        g_error_free(error);
        return 0;
    }
    guint32 watch = 0;
    g_variant_get(reply, "(u)", &watch);
    g_variant_unref(reply);
    return watch;
}

}  // namespace

std::unique_ptr<MutterIdleSource> MutterIdleSource::open(std::chrono::seconds delay) {
    GDBusConnection* bus = SessionBus::connect();
    if (bus == nullptr) {
        return nullptr;
    }
    std::unique_ptr<MutterIdleSource> source;
    if (SessionBus::nameRuns(bus, kService)) {
        source.reset(new MutterIdleSource(bus, delay));
    }
    g_object_unref(bus);
    return source;
}

MutterIdleSource::MutterIdleSource(GDBusConnection* bus, std::chrono::seconds delay)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))), delay_(delay), cancellable_(g_cancellable_new()) {}

MutterIdleSource::~MutterIdleSource() {
    g_cancellable_cancel(cancellable_);
    if (nameWatch_ != 0) {
        g_bus_unwatch_name(nameWatch_);
    }
    if (subscription_ != 0) {
        g_dbus_connection_signal_unsubscribe(bus_, subscription_);
    }
    // Mutter drops a client's watches when it leaves the bus; a source that
    // goes before the program does takes its own along.
    for (const guint32 watch : {idleWatch_, activeWatch_}) {
        if (watch != 0) {
            g_dbus_connection_call(bus_, kService, kPath, kInterface, "RemoveWatch", g_variant_new("(u)", watch),
                                   nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kAnswerMilliseconds, nullptr, nullptr,
                                   nullptr);
        }
    }
    g_object_unref(cancellable_);
    g_object_unref(bus_);
}

const char* MutterIdleSource::name() const { return "GNOME's idle monitor (org.gnome.Mutter.IdleMonitor)"; }

void MutterIdleSource::start(Listener& listener) {
    listener_ = &listener;
    subscription_ = g_dbus_connection_signal_subscribe(bus_, kService, kInterface, "WatchFired", kPath, nullptr,
                                                       G_DBUS_SIGNAL_FLAGS_NONE, onWatchFired, this, nullptr);
    nameWatch_ = g_bus_watch_name_on_connection(bus_, kService, G_BUS_NAME_WATCHER_FLAGS_NONE, onAppeared, onVanished,
                                                this, nullptr);
}

void MutterIdleSource::onAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self) {
    auto* source = static_cast<MutterIdleSource*>(self);
    source->idleWatch_ = 0;
    source->activeWatch_ = 0;
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(source->delay_).count();
    source->call("AddIdleWatch", g_variant_new("(t)", static_cast<guint64>(milliseconds)), onIdleWatchAdded);
}

void MutterIdleSource::onVanished(GDBusConnection*, const gchar*, gpointer self) {
    // Its watches went with it; until a Mutter comes again nothing fires.
    auto* source = static_cast<MutterIdleSource*>(self);
    source->idleWatch_ = 0;
    source->activeWatch_ = 0;
}

void MutterIdleSource::call(const char* method, GVariant* arguments, GAsyncReadyCallback done) {
    g_dbus_connection_call(bus_, kService, kPath, kInterface, method, arguments, G_VARIANT_TYPE("(u)"),
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, kAnswerMilliseconds, cancellable_, done, this);
}

void MutterIdleSource::onIdleWatchAdded(GObject* bus, GAsyncResult* result, gpointer self) {
    bool cancelled = false;
    const guint32 watch = watchNumber(bus, result, cancelled);
    if (cancelled) {
        return;
    }
    static_cast<MutterIdleSource*>(self)->idleWatch_ = watch;
    if (watch == 0) {
        // Without its watch the saver would never start: say so once.
        std::fputs("pelmora: GNOME's idle monitor did not take the idle watch; the saver cannot start\n", stderr);
    }
}

void MutterIdleSource::onActiveWatchAdded(GObject* bus, GAsyncResult* result, gpointer self) {
    bool cancelled = false;
    const guint32 watch = watchNumber(bus, result, cancelled);
    if (!cancelled) {
        static_cast<MutterIdleSource*>(self)->activeWatch_ = watch;
    }
}

void MutterIdleSource::onWatchFired(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                                    GVariant* parameters, gpointer self) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(u)"))) {
        return;
    }
    guint32 watch = 0;
    g_variant_get(parameters, "(u)", &watch);
    static_cast<MutterIdleSource*>(self)->fired(watch);
}

void MutterIdleSource::fired(guint32 watch) {
    if (watch == 0) {
        return;
    }
    if (watch == idleWatch_) {
        // The idle watch stays and fires again after the next idle period;
        // the active watch fires once, on the next input, and is gone.
        listener_->idleFired();
        if (activeWatch_ == 0) {
            call("AddUserActiveWatch", nullptr, onActiveWatchAdded);
        }
    } else if (watch == activeWatch_) {
        activeWatch_ = 0;
        listener_->userActive();
    }
}

}  // namespace pelmora
