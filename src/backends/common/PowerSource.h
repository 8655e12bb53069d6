#pragma once

#include <functional>

namespace pelmora {

// Where the machine takes its power from, as far as a host can learn it:
// battery or mains. A machine that cannot tell (a desktop, a container
// without the system's power service) runs on mains.
class PowerSource {
public:
    virtual ~PowerSource() = default;

    virtual bool onBattery() const = 0;
    // `changed` is called with the new state each time it changes, from the
    // main loop the source was made on; an empty function stops the calls.
    virtual void setChangedHandler(std::function<void(bool onBattery)> changed) = 0;
};

}  // namespace pelmora
