#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "SettingsStore.h"

namespace pelmora {

// A store seen through the `-key value` pairs given to the program: a key
// named there reads as its given value for this run, whatever is saved.
// Writes go to the underlying store, except a write of exactly the given
// value: that is the run's override coming back, and the saved value stays.
// The given value keeps winning for reads until the program ends.
class ArgumentDomainStore : public SettingsStore {
public:
    // `arguments` must outlive the store.
    ArgumentDomainStore(std::unique_ptr<SettingsStore> saved, const SettingsDefaults& arguments);

    void registerDefaults(const SettingsDefaults& defaults) override;

    bool boolForKey(std::string_view key) override;
    float floatForKey(std::string_view key) override;
    std::int64_t integerForKey(std::string_view key) override;

    void setBool(bool value, std::string_view key) override;
    void setFloat(float value, std::string_view key) override;
    void setInteger(std::int64_t value, std::string_view key) override;

    bool synchronize() override;
    std::string lastError() const override;

private:
    // The last pair given for `key`, as on a command line where the later
    // option wins; null when it is not given.
    const std::string* argumentFor(std::string_view key) const;

    std::unique_ptr<SettingsStore> saved_;
    const SettingsDefaults& arguments_;
};

}  // namespace pelmora
