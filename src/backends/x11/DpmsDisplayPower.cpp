#include "DpmsDisplayPower.h"

#include <X11/Xmd.h>
#include <X11/extensions/dpms.h>

namespace pelmora {

std::unique_ptr<DisplayPower> DpmsDisplayPower::open(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    if (DPMSQueryExtension(display, &eventBase, &errorBase) == False || DPMSCapable(display) == False) {
        return nullptr;
    }
    return std::unique_ptr<DisplayPower>(new DpmsDisplayPower(display));
}

bool DpmsDisplayPower::monitorOn() {
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    if (DPMSInfo(display_, &level, &enabled) == False) {
        return true;
    }
    return enabled == False || level == DPMSModeOn;
}

}  // namespace pelmora
