#pragma once

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "SettingsStore.h"

namespace pelmora::testing {

// Settings kept in memory per module name, with a log of what the view did
// with them: how often a store was opened, every write and every synchronize.
class MemoryStores : public SettingsStores {
public:
    using Value = std::variant<std::string, bool, float, std::int64_t>;

    struct Module {
        std::map<std::string, Value, std::less<>> saved;
        std::vector<std::string> writes;
        int opens = 0;
        int synchronizes = 0;
        bool failSynchronize = false;
    };

    std::unique_ptr<SettingsStore> defaultsForModuleWithName(std::string_view moduleName) override;

    Module& module(const std::string& name) { return modules_[name]; }

private:
    std::map<std::string, Module, std::less<>> modules_;
};

}  // namespace pelmora::testing
