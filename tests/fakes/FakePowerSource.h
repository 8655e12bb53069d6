#pragma once

#include <functional>
#include <utility>

#include "PowerSource.h"

namespace pelmora::testing {

// A power source the test switches by hand, telling its handler as a real
// one would: only on a change.
class FakePowerSource : public PowerSource {
public:
    bool onBattery() const override { return onBattery_; }
    void setChangedHandler(std::function<void(bool)> changed) override { changed_ = std::move(changed); }

    void set(bool onBattery) {
        if (onBattery == onBattery_) {
            return;
        }
        onBattery_ = onBattery;
        if (changed_) {
            changed_(onBattery);
        }
    }
    bool hasHandler() const { return static_cast<bool>(changed_); }

private:
    bool onBattery_ = false;
    std::function<void(bool)> changed_;
};

}  // namespace pelmora::testing
