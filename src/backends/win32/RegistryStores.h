#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "RegistryStore.h"
#include "SettingsStore.h"

namespace pelmora {

// Opens <root>\<folder>\<module name>, by default
// HKEY_CURRENT_USER\Software\Pelmora\<module name>.
class RegistryStores : public SettingsStores {
public:
    explicit RegistryStores(RegistryWarningSink warn, HKEY root = HKEY_CURRENT_USER,
                            std::wstring folder = L"Software\\Pelmora", std::string rootName = "HKCU");

    // A module name becomes one key name: not empty, no backslash, no control
    // characters, and short enough for the registry. On false, `message`
    // (when given) says why.
    static bool validModuleName(std::string_view name, std::string* message);

    // A module name that is not valid gets a store that runs on defaults and
    // whose synchronize() fails saying why, after one message.
    std::unique_ptr<SettingsStore> defaultsForModuleWithName(std::string_view moduleName) override;

    // How the key of a module is written in messages ("HKCU\Software\...").
    std::string shownAs(std::string_view moduleName) const;

private:
    RegistryWarningSink warn_;
    HKEY root_;
    std::wstring folder_;
    std::string rootName_;
};

}  // namespace pelmora
