#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "KeyFileStore.h"
#include "SettingsStore.h"

namespace pelmora {

// Opens <folder>/<module name>.conf, the folder being
// $XDG_CONFIG_HOME/pelmora (~/.config/pelmora when unset) unless one is given.
class KeyFileStores : public SettingsStores {
public:
    explicit KeyFileStores(std::filesystem::path folder = defaultFolder(),
                           SettingsWarningSink warn = warnOnStandardError);

    static std::filesystem::path defaultFolder();

    // A module name becomes a file name, so it must stay one: not empty, no
    // '/', no control characters, not starting with '.' (which also rules
    // out "." and ".."), and short enough for the file system. On false,
    // `message` (when given) says why.
    static bool validModuleName(std::string_view name, std::string* message);

    // A module name that is not valid gets a store that runs on defaults and
    // whose synchronize() fails saying why, after one message.
    std::unique_ptr<SettingsStore> defaultsForModuleWithName(std::string_view moduleName) override;

    std::filesystem::path fileForModule(std::string_view moduleName) const;

private:
    std::filesystem::path folder_;
    SettingsWarningSink warn_;
};

}  // namespace pelmora
