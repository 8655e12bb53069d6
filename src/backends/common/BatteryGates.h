#pragma once

#include <cstdio>
#include <vector>

#include "FrameGate.h"
#include "PowerSource.h"

namespace pelmora {

// Tells every view's FrameGate whether the machine runs on battery, from one
// PowerSource, for as long as the gate is attached: views come and go with
// monitors and idle periods while the power source stays. With a report
// stream it says what the frames do at the start and at each change.
class BatteryGates {
public:
    // `report` may be null (quiet); `policy` only words the report, each
    // gate holds its own.
    BatteryGates(PowerSource& source, BatteryPolicy policy, std::FILE* report);
    ~BatteryGates();
    BatteryGates(const BatteryGates&) = delete;
    BatteryGates& operator=(const BatteryGates&) = delete;

    // The gate learns the state at once and each change after it, until detached.
    void attach(FrameGate& gate);
    void detach(FrameGate& gate);

    // "on battery: half the frame rate", "on mains power", ...: what the
    // frames do, as --verbose says it.
    static const char* describe(BatteryPolicy policy, bool onBattery);

private:
    void changed(bool onBattery);
    void report() const;

    PowerSource& source_;
    BatteryPolicy policy_;
    std::FILE* report_;
    bool onBattery_;
    std::vector<FrameGate*> gates_;
};

}  // namespace pelmora
