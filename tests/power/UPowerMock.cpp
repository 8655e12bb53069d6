#include "UPowerMock.h"

#include "SessionBus.h"

#include <signal.h>

#include <chrono>
#include <thread>

namespace pelmora::testing {

namespace {

using namespace std::chrono_literals;

// Debian's own python has python3-dbusmock; another one earlier on the PATH may not.
constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kName = "org.freedesktop.UPower";

}  // namespace

UPowerMock::UPowerMock(const std::string& busAddress) : busAddress_(busAddress) {
    GError* error = nullptr;
    bus_ = g_dbus_connection_new_for_address_sync(
        busAddress.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (bus_ == nullptr) {
        error_ = std::string("cannot reach the private bus: ") + (error != nullptr ? error->message : "?");
        g_clear_error(&error);
    }
}

UPowerMock::~UPowerMock() {
    stop();
    if (bus_ != nullptr) {
        g_object_unref(bus_);
    }
}

bool UPowerMock::nameOwned() { return SessionBus::nameRuns(bus_, kName); }

bool UPowerMock::start(bool onBattery) {
    if (bus_ == nullptr) {
        return false;
    }
    const std::string parameters = std::string("{\"OnBattery\": ") + (onBattery ? "true" : "false") + "}";
    mock_ = std::make_unique<HackProcess>(kPython,
                                          std::vector<std::string>{"-m", "dbusmock", "--template", "upower", "-p",
                                                                   parameters},
                                          std::map<std::string, std::string>{{"DBUS_SYSTEM_BUS_ADDRESS", busAddress_}});
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!nameOwned()) {
        if (!mock_->running() || std::chrono::steady_clock::now() > deadline) {
            error_ = "python3-dbusmock's UPower did not come onto the bus: " + mock_->standardError();
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

bool UPowerMock::setOnBattery(bool onBattery) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, kName, "/org/freedesktop/UPower", "org.freedesktop.DBus.Properties", "Set",
        g_variant_new("(ssv)", "org.freedesktop.UPower", "OnBattery", g_variant_new_boolean(onBattery)), nullptr,
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    if (reply == nullptr) {
        error_ = std::string("cannot set OnBattery: ") + (error != nullptr ? error->message : "?");
        g_clear_error(&error);
        return false;
    }
    g_variant_unref(reply);
    return true;
}

void UPowerMock::stop() {
    if (!mock_) {
        return;
    }
    kill(mock_->pid(), SIGTERM);
    mock_->waitForExit(10s);
    mock_.reset();
    // Gone from the bus once the daemon has seen the connection close.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (bus_ != nullptr && nameOwned() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
}

}  // namespace pelmora::testing
