#include "ArgumentDomainStore.h"

#include <bit>
#include <cstdint>
#include <utility>

#include "SettingText.h"

namespace pelmora {

ArgumentDomainStore::ArgumentDomainStore(std::unique_ptr<SettingsStore> saved, const SettingsDefaults& arguments)
    : saved_(std::move(saved)), arguments_(arguments) {}

const std::string* ArgumentDomainStore::argumentFor(std::string_view key) const {
    for (auto pair = arguments_.rbegin(); pair != arguments_.rend(); ++pair) {
        if (pair->first == key) {
            return &pair->second;
        }
    }
    return nullptr;
}

void ArgumentDomainStore::registerDefaults(const SettingsDefaults& defaults) { saved_->registerDefaults(defaults); }

// A given value that is not of the type asked for was meant to be refused
// before the program started; should one slip through, the saved value is
// the sound fallback.
bool ArgumentDomainStore::boolForKey(std::string_view key) {
    const std::string* given = argumentFor(key);
    const auto value = given != nullptr ? parseBoolText(*given) : std::nullopt;
    return value ? *value : saved_->boolForKey(key);
}

float ArgumentDomainStore::floatForKey(std::string_view key) {
    const std::string* given = argumentFor(key);
    const auto value = given != nullptr ? parseFloatText(*given) : std::nullopt;
    return value ? *value : saved_->floatForKey(key);
}

std::int64_t ArgumentDomainStore::integerForKey(std::string_view key) {
    const std::string* given = argumentFor(key);
    const auto value = given != nullptr ? parseIntegerText(*given) : std::nullopt;
    return value ? *value : saved_->integerForKey(key);
}

// The view saves all of its settings together. A value that is still the one
// given on the command line is that run's override, not a choice to keep, so
// the saved value stays; one the user changed since reaches the file.
void ArgumentDomainStore::setBool(bool value, std::string_view key) {
    const std::string* given = argumentFor(key);
    if (given == nullptr || parseBoolText(*given) != value) {
        saved_->setBool(value, key);
    }
}

void ArgumentDomainStore::setFloat(float value, std::string_view key) {
    const std::string* given = argumentFor(key);
    const auto parsed = given != nullptr ? parseFloatText(*given) : std::nullopt;
    if (!parsed || std::bit_cast<std::uint32_t>(*parsed) != std::bit_cast<std::uint32_t>(value)) {
        saved_->setFloat(value, key);
    }
}

void ArgumentDomainStore::setInteger(std::int64_t value, std::string_view key) {
    const std::string* given = argumentFor(key);
    if (given == nullptr || parseIntegerText(*given) != value) {
        saved_->setInteger(value, key);
    }
}

bool ArgumentDomainStore::synchronize() { return saved_->synchronize(); }

std::string ArgumentDomainStore::lastError() const { return saved_->lastError(); }

}  // namespace pelmora
