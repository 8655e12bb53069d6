#include "KeyFileStores.h"

#include <glib.h>

#include <utility>

#include "SettingText.h"

namespace pelmora {
namespace {

// Leaves room within NAME_MAX (255) for ".conf", the temporary file's suffix
// and a ".bad.NN" copy.
constexpr std::size_t kLongestModuleName = 200;

}  // namespace

KeyFileStores::KeyFileStores(std::filesystem::path folder, SettingsWarningSink warn)
    : folder_(std::move(folder)), warn_(std::move(warn)) {}

std::filesystem::path KeyFileStores::defaultFolder() {
    return std::filesystem::path(g_get_user_config_dir()) / "pelmora";
}

bool KeyFileStores::validModuleName(std::string_view name, std::string* message) {
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
        if (c == '/' || c == '\\') {
            return reject("it contains a slash");
        }
        if (byte < 0x20 || byte == 0x7f) {
            return reject("it contains a control character");
        }
    }
    if (name.front() == '.') {
        return reject("it starts with '.'");
    }
    return true;
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
