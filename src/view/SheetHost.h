#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "SheetControl.h"

namespace pelmora {

// What an interface file is loaded into: it receives the window and the
// controls by outlet name and is sent the buttons' actions by name.
class SheetOwner {
public:
    virtual ~SheetOwner() = default;

    // False when the owner has no outlet of that name.
    virtual bool connectWindow(std::string_view outlet, std::unique_ptr<SheetWindow> window) = 0;
    virtual bool connectControl(std::string_view outlet, std::unique_ptr<SheetControl> control) = 0;
    // Actions such as "ok:" and "cancel:"; false when the owner has none of that name.
    virtual bool performAction(std::string_view action) = 0;
};

// Loads interface files and ends sheets on behalf of the view.
class SheetHost {
public:
    virtual ~SheetHost() = default;

    // Loads the interface file `name` ("controlPanel") and connects its
    // outlets and actions to `owner`. False when it could not be loaded.
    virtual bool loadNibNamed(std::string_view name, SheetOwner& owner) = 0;
    virtual void endSheet(SheetWindow& sheet, std::int64_t returnCode) = 0;
    virtual void endSheet(SheetWindow& sheet) = 0;
};

}  // namespace pelmora
