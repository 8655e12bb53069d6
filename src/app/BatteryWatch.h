#pragma once

#include <memory>
#include <optional>

#include "BatteryGates.h"
#include "UPowerSource.h"

namespace pelmora {

// The interactive modes' view of the machine's power: UPower on the system
// bus tells the views' gates when the machine runs on battery. Without a
// system bus the views run as on mains, which --verbose says in one line.
// Make it before the views, which it must outlive.
class BatteryWatch {
public:
    BatteryWatch(BatteryPolicy policy, bool verbose);
    BatteryWatch(const BatteryWatch&) = delete;
    BatteryWatch& operator=(const BatteryWatch&) = delete;

    // For the views' options; null when nothing can tell.
    BatteryGates* gates() { return gates_ ? &*gates_ : nullptr; }

private:
    std::unique_ptr<UPowerSource> source_;
    std::optional<BatteryGates> gates_;
};

}  // namespace pelmora
