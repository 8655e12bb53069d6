#pragma once

#include <gio/gio.h>

#include <chrono>
#include <memory>

#include "IdleSource.h"

namespace pelmora {

// GNOME's own idle monitor, which Mutter offers on the session bus under
// Wayland and X11 alike: one watch that fires each time the user has been
// idle for the delay, and, after it fired, a one-shot watch for the next
// input. Both come as signals on the event loop; nothing polls. Watches
// belong to the Mutter that made them, so a Mutter that comes anew (GNOME
// Shell restarted on X11) is given them anew.
class MutterIdleSource : public IdleSource {
public:
    // The source on the session bus, or nothing when no Mutter serves it.
    static std::unique_ptr<MutterIdleSource> open(std::chrono::seconds delay);
    ~MutterIdleSource() override;

    const char* name() const override;
    void start(Listener& listener) override;

private:
    MutterIdleSource(GDBusConnection* bus, std::chrono::seconds delay);
    static void onWatchFired(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                             GVariant* parameters, gpointer self);
    static void onAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self);
    static void onVanished(GDBusConnection*, const gchar*, gpointer self);
    static void onIdleWatchAdded(GObject* bus, GAsyncResult* result, gpointer self);
    static void onActiveWatchAdded(GObject* bus, GAsyncResult* result, gpointer self);

    void call(const char* method, GVariant* arguments, GAsyncReadyCallback done);
    void fired(guint32 watch);

    GDBusConnection* bus_;
    std::chrono::seconds delay_;
    Listener* listener_ = nullptr;
    guint subscription_ = 0;
    guint nameWatch_ = 0;
    // Replies still on their way are cancelled when the source goes.
    GCancellable* cancellable_;
    // Mutter's numbers for the two watches; 0 is none.
    guint32 idleWatch_ = 0;
    guint32 activeWatch_ = 0;
};

}  // namespace pelmora
