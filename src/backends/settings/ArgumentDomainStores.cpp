#include "ArgumentDomainStores.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "ArgumentDomainStore.h"
#include "SettingText.h"
#include "SettingsSchema.h"

namespace pelmora {
namespace {

std::string knownKeys() {
    std::string list;
    for (const Setting& entry : kSettings) {
        if (!list.empty()) {
            list += ", ";
        }
        list += entry.key;
    }
    return list;
}

// A stored integer reads as its low 32 bits, which files may rely on; a
// value typed for this run that does not fit would run something else than
// what was typed (4294967336 spheres would run 40).
bool fitsThirtyTwoBits(const std::string& value) {
    const std::optional<std::int64_t> number = parseIntegerText(value);
    return number && *number >= std::numeric_limits<std::int32_t>::min() &&
           *number <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

ArgumentDomainStores::ArgumentDomainStores(std::unique_ptr<SettingsStores> saved, SettingsDefaults arguments)
    : saved_(std::move(saved)), arguments_(std::move(arguments)) {}

std::string ArgumentDomainStores::validate(const SettingsDefaults& arguments) {
    for (const auto& [key, value] : arguments) {
        const Setting* entry = findSetting(key);
        if (entry == nullptr) {
            return "unknown setting " + quoteForMessage(key) + " (known settings: " + knownKeys() + ")";
        }
        if (!parsesAs(entry->type, value)) {
            return "-" + key + " " + quoteForMessage(value) + ": not " + describeSettingType(entry->type);
        }
        if (entry->type == SettingType::Integer && !fitsThirtyTwoBits(value)) {
            return "-" + key + " " + quoteForMessage(value) + ": not a whole number from -2147483648 to 2147483647";
        }
    }
    return {};
}

std::unique_ptr<SettingsStore> ArgumentDomainStores::defaultsForModuleWithName(std::string_view moduleName) {
    return std::make_unique<ArgumentDomainStore>(saved_->defaultsForModuleWithName(moduleName), arguments_);
}

}  // namespace pelmora
