#include "UPowerSource.h"

namespace pelmora {

namespace {

// UPower's well-known name, its manager object and interface.
constexpr const char* kName = "org.freedesktop.UPower";
constexpr const char* kPath = "/org/freedesktop/UPower";
constexpr const char* kInterface = "org.freedesktop.UPower";
constexpr const char* kOnBattery = "OnBattery";

std::string takeMessage(GError* error) {
    std::string message = error != nullptr ? error->message : "unknown error";
    g_clear_error(&error);
    return message;
}

}  // namespace

std::unique_ptr<UPowerSource> UPowerSource::open(std::string& why) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    if (bus == nullptr) {
        why = "no system bus (" + takeMessage(error) + ")";
        return nullptr;
    }
    // GIO ends the whole process when the shared system bus connection
    // closes; a restarted bus daemon must not end a screen saver.
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    // Not started for us: a screen saver does not start system services. The
    // proxy follows the name, so a UPower that starts later is heard.
    GDBusProxy* proxy =
        g_dbus_proxy_new_sync(bus, G_DBUS_PROXY_FLAGS_DO_NOT_AUTO_START, nullptr, kName, kPath, kInterface, nullptr,
                              &error);
    g_object_unref(bus);
    if (proxy == nullptr) {
        why = "cannot follow UPower on the system bus (" + takeMessage(error) + ")";
        return nullptr;
    }
    return std::unique_ptr<UPowerSource>(new UPowerSource(proxy));
}

UPowerSource::UPowerSource(GDBusProxy* proxy) : proxy_(proxy), onBattery_(readOnBattery()) {
    g_signal_connect(proxy_, "g-properties-changed", G_CALLBACK(onPropertiesChanged), this);
}

UPowerSource::~UPowerSource() {
    g_signal_handlers_disconnect_by_data(proxy_, this);
    g_object_unref(proxy_);
}

bool UPowerSource::running() const {
    gchar* owner = g_dbus_proxy_get_name_owner(proxy_);
    const bool known = owner != nullptr;
    g_free(owner);
    return known;
}

bool UPowerSource::readOnBattery() const {
    GVariant* value = g_dbus_proxy_get_cached_property(proxy_, kOnBattery);
    if (value == nullptr) {
        return false;
    }
    // Anything but a boolean is no word on the battery at all.
    const bool onBattery = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
    g_variant_unref(value);
    return onBattery;
}

void UPowerSource::update() {
    const bool onBattery = readOnBattery();
    if (onBattery == onBattery_) {
        return;
    }
    onBattery_ = onBattery;
    if (changed_) {
        changed_(onBattery);
    }
}

// Also when UPower leaves the bus (its properties go with it) and when it
// comes back (the proxy reads them anew).
void UPowerSource::onPropertiesChanged(GDBusProxy*, GVariant*, const gchar* const*, gpointer self) {
    static_cast<UPowerSource*>(self)->update();
}

}  // namespace pelmora
