#pragma once

#include <X11/Xlib.h>

#include <memory>

#include "DisplayPower.h"

namespace pelmora {

// The monitor's power as the X server's DPMS extension reports it: off in
// standby, suspend and off alike, on whenever DPMS is disabled.
class DpmsDisplayPower : public DisplayPower {
public:
    // Null when the server has no DPMS (Xvfb, Xephyr): its monitor never
    // powers off, so there is nothing to ask.
    static std::unique_ptr<DisplayPower> open(Display* display);

    bool monitorOn() override;

private:
    explicit DpmsDisplayPower(Display* display) : display_(display) {}

    Display* display_;
};

}  // namespace pelmora
