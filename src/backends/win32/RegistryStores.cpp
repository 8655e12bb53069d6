#include "RegistryStores.h"

#include <utility>

#include "SettingText.h"
#include "WideText.h"

namespace pelmora {
namespace {

// Key names may be 255 characters long; the folder takes some of that in
// messages only, not in the name itself.
constexpr std::size_t kLongestModuleName = 200;

}  // namespace

RegistryStores::RegistryStores(RegistryWarningSink warn, HKEY root, std::wstring folder, std::string rootName)
    : warn_(std::move(warn)), root_(root), folder_(std::move(folder)), rootName_(std::move(rootName)) {}

bool RegistryStores::validModuleName(std::string_view name, std::string* message) {
    const auto reject = [&](const std::string& why) {
        if (message != nullptr) {
            *message = "invalid module name " + quoteForMessage(name) + ": " + why;
        }
        return false;
    };
    if (name.empty()) {
        return reject("it is empty");
    }
    if (name.size() > kLongestModuleName) {
        return reject("it is longer than " + std::to_string(kLongestModuleName) + " bytes");
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            return reject("it contains a backslash");
        }
        if (byte < 0x20 || byte == 0x7f) {
            return reject("it contains a control character");
        }
    }
    return true;
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
