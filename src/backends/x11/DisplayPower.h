#pragma once

namespace pelmora {

// Whether the monitor a view is shown on is powered on; the X server's DPMS
// extension knows, and a test's fake says what it is told.
class DisplayPower {
public:
    virtual ~DisplayPower() = default;
    virtual bool monitorOn() = 0;
};

}  // namespace pelmora
