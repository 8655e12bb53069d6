#pragma once

#include "SheetHost.h"

namespace pelmora {

// For hosts that never show the configuration sheet (the hack, trace and
// record): every load fails, so the view keeps running on its settings.
class NoSheetHost : public SheetHost {
public:
    bool loadNibNamed(std::string_view, SheetOwner&) override { return false; }
    void endSheet(SheetWindow&, std::int64_t) override {}
    void endSheet(SheetWindow&) override {}
};

}  // namespace pelmora
