#pragma once

#include <memory>
#include <string_view>

#include "KeyFileStore.h"
#include "SettingsStore.h"

namespace pelmora {

// Stores that hold nothing but the registered defaults and never touch a
// file: for a run whose whole configuration is its command line, where a
// saved value would be a setting the caller can neither see nor change.
class DefaultsOnlyStores : public SettingsStores {
public:
    explicit DefaultsOnlyStores(SettingsWarningSink warn = warnOnStandardError);

    std::unique_ptr<SettingsStore> defaultsForModuleWithName(std::string_view moduleName) override;

private:
    SettingsWarningSink warn_;
};

}  // namespace pelmora
