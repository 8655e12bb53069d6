#include "BatteryGates.h"

#include <algorithm>

namespace pelmora {

BatteryGates::BatteryGates(PowerSource& source, BatteryPolicy policy, std::FILE* report)
    : source_(source), policy_(policy), report_(report), onBattery_(source.onBattery()) {
    source_.setChangedHandler([this](bool onBattery) { changed(onBattery); });
    this->report();
}

BatteryGates::~BatteryGates() { source_.setChangedHandler({}); }

void BatteryGates::attach(FrameGate& gate) {
    gate.setOnBattery(onBattery_);
    if (std::find(gates_.begin(), gates_.end(), &gate) == gates_.end()) {
        gates_.push_back(&gate);
    }
}

void BatteryGates::detach(FrameGate& gate) { std::erase(gates_, &gate); }

const char* BatteryGates::describe(BatteryPolicy policy, bool onBattery) {
    if (!onBattery) {
        return "on mains power";
    }
    switch (policy) {
        case BatteryPolicy::Slow: return "on battery: half the frame rate";
        case BatteryPolicy::Pause: return "on battery: frames paused";
        case BatteryPolicy::Run: break;
    }
    return "on battery: frames as usual";
}

void BatteryGates::changed(bool onBattery) {
    // A source may repeat itself (a property signal that changed another
    // property); only a change is told.
    if (onBattery == onBattery_) {
        return;
    }
    onBattery_ = onBattery;
    for (FrameGate* gate : gates_) {
        gate->setOnBattery(onBattery);
    }
    report();
}

void BatteryGates::report() const {
    if (report_ != nullptr) {
        std::fprintf(report_, "pelmora: %s\n", describe(policy_, onBattery_));
        std::fflush(report_);
    }
}

}  // namespace pelmora
