#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "FrameGate.h"

namespace pelmora {

// What the saver's frames do with the machine's power, as Windows tells it
// to the saver's windows: on battery (GetSystemPowerStatus at the start,
// WM_POWERBROADCAST's status changes after it) what --on-battery says, and
// while the display is powered off (power setting notifications) no frames
// at all until it is on again.
class PowerWatch {
public:
    // `batteryNow` reads whether the machine runs on battery now.
    explicit PowerWatch(BatteryPolicy policy, std::function<bool()> batteryNow = runsOnBattery);
    ~PowerWatch();
    PowerWatch(const PowerWatch&) = delete;
    PowerWatch& operator=(const PowerWatch&) = delete;

    // Asks Windows to tell `window` when the display goes off and on.
    void listen(HWND window);
    // A WM_POWERBROADCAST that one of the windows received.
    void handle(WPARAM event, LPARAM data);
    const FrameGate& gate() const { return gate_; }

    // GetSystemPowerStatus: false on mains, and when Windows does not know.
    static bool runsOnBattery();

private:
    void displayStateChanged(const POWERBROADCAST_SETTING& setting);

    FrameGate gate_;
    std::function<bool()> batteryNow_;
    std::vector<HPOWERNOTIFY> registrations_;
};

}  // namespace pelmora
