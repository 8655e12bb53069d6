#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "SettingsStore.h"

namespace pelmora {

// Opens every module's store through the `-key value` pairs given to the
// program (see ArgumentDomainStore): they override the saved values for this
// run only and are never saved.
class ArgumentDomainStores : public SettingsStores {
public:
    ArgumentDomainStores(std::unique_ptr<SettingsStores> saved, SettingsDefaults arguments);

    // Checks each pair against the known settings: the key must be one of
    // them and the value must be of its type. Returns an empty string when
    // all are good, else a one-line message naming the first bad key (and
    // value) for the program to report as a usage error before it starts.
    static std::string validate(const SettingsDefaults& arguments);

    std::unique_ptr<SettingsStore> defaultsForModuleWithName(std::string_view moduleName) override;

    const SettingsDefaults& arguments() const { return arguments_; }

private:
    std::unique_ptr<SettingsStores> saved_;
    SettingsDefaults arguments_;
};

}  // namespace pelmora
