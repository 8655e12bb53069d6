#include "ArgumentDomainStores.h"

#include <utility>

#include "ArgumentDomainStore.h"
#include "SettingText.h"
#include "SettingsSchema.h"

namespace pelmora {
namespace {

std::string knownKeys() {
    std::string list;
    for (const SettingKey& entry : kSettingKeys) {
        if (!list.empty()) {
            list += ", ";
        }
        list += entry.key;
    }
    return list;
}

}  // namespace

ArgumentDomainStores::ArgumentDomainStores(std::unique_ptr<SettingsStores> saved, SettingsDefaults arguments)
    : saved_(std::move(saved)), arguments_(std::move(arguments)) {}

std::string ArgumentDomainStores::validate(const SettingsDefaults& arguments) {
    for (const auto& [key, value] : arguments) {
        const SettingKey* entry = findSettingKey(key);
        if (entry == nullptr) {
            return "unknown setting " + quoteForMessage(key) + " (known settings: " + knownKeys() + ")";
        }
        if (!parsesAs(entry->type, value)) {
            return "-" + key + " " + quoteForMessage(value) + ": not " + describeSettingType(entry->type);
        }
    }
    return {};
}

std::unique_ptr<SettingsStore> ArgumentDomainStores::defaultsForModuleWithName(std::string_view moduleName) {
    return std::make_unique<ArgumentDomainStore>(saved_->defaultsForModuleWithName(moduleName), arguments_);
}

}  // namespace pelmora
