#include "KeyFileStores.h"

#include <glib.h>

#include <utility>

#include "ModuleName.h"
#include "SettingText.h"

namespace pelmora {

KeyFileStores::KeyFileStores(std::filesystem::path folder, SettingsWarningSink warn)
    : folder_(std::move(folder)), warn_(std::move(warn)) {}

std::filesystem::path KeyFileStores::defaultFolder() {
    return std::filesystem::path(g_get_user_config_dir()) / "pelmora";
}

bool KeyFileStores::validModuleName(std::string_view name, std::string* message) {
    std::string why = moduleNameProblem(name, "/\\", "a slash");
    if (why.empty() && name.front() == '.') {
        why = "it starts with '.'";
    }
    if (!why.empty() && message != nullptr) {
        *message = invalidModuleNameMessage(name, why);
    }
    return why.empty();
}

std::filesystem::path KeyFileStores::fileForModule(std::string_view moduleName) const {
    return folder_ / (std::string(moduleName) + ".conf");
}

std::unique_ptr<SettingsStore> KeyFileStores::defaultsForModuleWithName(std::string_view moduleName) {
    std::string problem;
    if (!validModuleName(moduleName, &problem)) {
        warn_(problem + "; settings are not loaded or saved");
        return KeyFileStore::unsaveable(problem, warn_);
    }
    return std::make_unique<KeyFileStore>(fileForModule(moduleName), warn_);
}

}  // namespace pelmora
