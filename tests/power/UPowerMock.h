#pragma once

#include <gio/gio.h>

#include <memory>
#include <string>

#include "HackProcess.h"

namespace pelmora::testing {

// python3-dbusmock's UPower on a private bus: a power source the test
// switches between battery and mains, as a laptop's UPower would say it.
class UPowerMock {
public:
    explicit UPowerMock(const std::string& busAddress);
    ~UPowerMock();
    UPowerMock(const UPowerMock&) = delete;
    UPowerMock& operator=(const UPowerMock&) = delete;

    // Starts the mock, saying `onBattery` from the start; false, with
    // error() saying why, when it does not come onto the bus.
    bool start(bool onBattery);
    // Sets OnBattery, which sends the property's change signal.
    bool setOnBattery(bool onBattery);
    // Ends the mock: UPower leaves the bus.
    void stop();
    const std::string& error() const { return error_; }

private:
    bool nameOwned();

    std::string busAddress_;
    GDBusConnection* bus_ = nullptr;
    std::unique_ptr<HackProcess> mock_;
    std::string error_;
};

}  // namespace pelmora::testing
