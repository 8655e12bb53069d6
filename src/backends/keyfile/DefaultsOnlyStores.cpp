#include "DefaultsOnlyStores.h"

#include <utility>

namespace pelmora {

DefaultsOnlyStores::DefaultsOnlyStores(SettingsWarningSink warn) : warn_(std::move(warn)) {}

std::unique_ptr<SettingsStore> DefaultsOnlyStores::defaultsForModuleWithName(std::string_view) {
    return KeyFileStore::unsaveable("this run takes its settings from the command line and saves none", warn_);
}

}  // namespace pelmora
