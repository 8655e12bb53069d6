#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelmora {

// Key/text pairs registered as fallbacks for keys that hold no saved value.
using SettingsDefaults = std::vector<std::pair<std::string, std::string>>;

// One module's persistent settings, as a handle that is opened per use.
// Typed reads parse registered texts ("YES", "400.0", "40"); registered
// defaults never override saved values; writes become persistent on
// synchronize().
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual void registerDefaults(const SettingsDefaults& defaults) = 0;

    virtual bool boolForKey(std::string_view key) = 0;
    virtual float floatForKey(std::string_view key) = 0;
    virtual std::int64_t integerForKey(std::string_view key) = 0;

    virtual void setBool(bool value, std::string_view key) = 0;
    virtual void setFloat(float value, std::string_view key) = 0;
    virtual void setInteger(std::int64_t value, std::string_view key) = 0;

    // Makes the writes persistent. False when they could not be saved;
    // lastError() then says why.
    virtual bool synchronize() = 0;
    virtual std::string lastError() const { return {}; }
};

// Opens the store of a module by name. Never yields null: a store that
// cannot be read yields its registered defaults, and one that cannot be
// written reports so from synchronize().
class SettingsStores {
public:
    virtual ~SettingsStores() = default;
    virtual std::unique_ptr<SettingsStore> defaultsForModuleWithName(std::string_view moduleName) = 0;
};

}  // namespace pelmora
