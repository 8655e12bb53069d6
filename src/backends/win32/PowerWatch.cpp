#include "PowerWatch.h"

#include <cstring>
#include <utility>

namespace pelmora {
namespace {

// The power settings whose changes say whether the display is on, as
// Windows documents them: the console's display (Windows 8 and later; 0
// off, 1 on, 2 dimmed) and, before it, the monitor (0 off, 1 on).
constexpr GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
constexpr GUID kMonitorPowerOn = {0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};

// GetSystemPowerStatus's ACLineStatus: 0 offline (battery), 1 online, 255 unknown.
constexpr BYTE kAcOffline = 0;

}  // namespace

PowerWatch::PowerWatch(BatteryPolicy policy, std::function<bool()> batteryNow)
    : gate_(policy), batteryNow_(std::move(batteryNow)) {
    gate_.setOnBattery(batteryNow_());
}

PowerWatch::~PowerWatch() {
    for (HPOWERNOTIFY registration : registrations_) {
        UnregisterPowerSettingNotification(registration);
    }
}

bool PowerWatch::runsOnBattery() {
    SYSTEM_POWER_STATUS status{};
    return GetSystemPowerStatus(&status) != FALSE && status.ACLineStatus == kAcOffline;
}

void PowerWatch::listen(HWND window) {
    // Windows before 8 do not know the console's display and refuse it.
    HPOWERNOTIFY registration = RegisterPowerSettingNotification(window, &kConsoleDisplayState,
                                                                 DEVICE_NOTIFY_WINDOW_HANDLE);
    if (registration == nullptr) {
        registration = RegisterPowerSettingNotification(window, &kMonitorPowerOn, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    if (registration != nullptr) {
        registrations_.push_back(registration);
    }
}

void PowerWatch::handle(WPARAM event, LPARAM data) {
    if (event == PBT_APMPOWERSTATUSCHANGE) {
        // The message says that something changed, not what: ask again.
        gate_.setOnBattery(batteryNow_());
    } else if (event == PBT_POWERSETTINGCHANGE && data != 0) {
        displayStateChanged(*reinterpret_cast<const POWERBROADCAST_SETTING*>(data));
    }
}

void PowerWatch::displayStateChanged(const POWERBROADCAST_SETTING& setting) {
    const bool display = IsEqualGUID(setting.PowerSetting, kConsoleDisplayState) ||
                         IsEqualGUID(setting.PowerSetting, kMonitorPowerOn);
    if (!display || setting.DataLength < sizeof(DWORD)) {
        return;
    }
    DWORD state = 0;
    std::memcpy(&state, setting.Data, sizeof state);
    // A dimmed display is still seen.
    gate_.setSeen(state != 0);
}

}  // namespace pelmora
