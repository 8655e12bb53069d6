#pragma once

#include <memory>
#include <vector>

#include "HoldOff.h"

namespace pelmora {

// What holds the resident saver off on this desktop, as far as its
// services say: GNOME's session manager while an application inhibits
// idleness, GNOME's lock screen, and logind's word that the session is
// locked (which other desktops' lockers give too). Services that are not
// there never hold.
class DesktopHoldOffs {
public:
    static std::vector<std::unique_ptr<HoldOff>> open();
};

}  // namespace pelmora
