#include "RegistryStores.h"

#include <utility>

#include "ModuleName.h"
#include "SettingText.h"
#include "WideText.h"

namespace pelmora {

RegistryStores::RegistryStores(RegistryWarningSink warn, HKEY root, std::wstring folder, std::string rootName)
    : warn_(std::move(warn)), root_(root), folder_(std::move(folder)), rootName_(std::move(rootName)) {}

bool RegistryStores::validModuleName(std::string_view name, std::string* message) {
    const std::string why = moduleNameProblem(name, "\\", "a backslash");
    if (!why.empty() && message != nullptr) {
        *message = invalidModuleNameMessage(name, why);
    }
    return why.empty();
}

std::string RegistryStores::shownAs(std::string_view moduleName) const {
    return rootName_ + "\\" + narrow(folder_) + "\\" + std::string(moduleName);
}

std::unique_ptr<SettingsStore> RegistryStores::defaultsForModuleWithName(std::string_view moduleName) {
    std::string problem;
    if (!validModuleName(moduleName, &problem)) {
        warn_(problem + "; settings are not loaded or saved");
        return std::make_unique<RegistryStore>(problem, warn_);
    }
    return std::make_unique<RegistryStore>(root_, folder_ + L"\\" + widen(moduleName), shownAs(moduleName), warn_);
}

}  // namespace pelmora
