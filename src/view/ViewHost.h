#pragma once

#include <string>

namespace pelmora {

class Canvas;
class SettingsStores;
class SheetHost;

// The services a view gets from the program that hosts it. The view keeps
// the references for its lifetime; the host keeps the objects alive.
struct ViewHost {
    SettingsStores& stores;
    // The host program's identifier, under which the settings are kept.
    std::string moduleName;
    Canvas& canvas;
    SheetHost& sheetHost;
};

}  // namespace pelmora
