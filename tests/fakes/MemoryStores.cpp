#include "MemoryStores.h"

#include <type_traits>

namespace pelmora::testing {

namespace {

class MemoryStore : public SettingsStore {
public:
    explicit MemoryStore(MemoryStores::Module& module) : module_(module) { ++module_.opens; }

    void registerDefaults(const SettingsDefaults& defaults) override {
        for (const auto& [key, text] : defaults) {
            registered_[key] = text;
        }
    }

    bool boolForKey(std::string_view key) override {
        const MemoryStores::Value value = lookup(key);
        if (const auto* text = std::get_if<std::string>(&value)) {
            return *text == "YES" || *text == "true" || *text == "1";
        }
        return std::visit([](auto v) { return toBool(v); }, value);
    }

    float floatForKey(std::string_view key) override {
        const MemoryStores::Value value = lookup(key);
        if (const auto* text = std::get_if<std::string>(&value)) {
            return std::strtof(text->c_str(), nullptr);
        }
        return std::visit([](auto v) { return toFloat(v); }, value);
    }

    std::int64_t integerForKey(std::string_view key) override {
        const MemoryStores::Value value = lookup(key);
        if (const auto* text = std::get_if<std::string>(&value)) {
            return std::strtoll(text->c_str(), nullptr, 10);
        }
        return std::visit([](auto v) { return toInteger(v); }, value);
    }

    void setBool(bool value, std::string_view key) override { write(key, value); }
    void setFloat(float value, std::string_view key) override { write(key, value); }
    void setInteger(std::int64_t value, std::string_view key) override { write(key, value); }

    bool synchronize() override {
        ++module_.synchronizes;
        return !module_.failSynchronize;
    }
    std::string lastError() const override { return module_.failSynchronize ? "disk full" : ""; }

private:
    static bool toBool(const std::string&) { return false; }
    static bool toBool(bool v) { return v; }
    static bool toBool(float v) { return v != 0.0F; }
    static bool toBool(std::int64_t v) { return v != 0; }
    static float toFloat(const std::string&) { return 0.0F; }
    static float toFloat(bool v) { return v ? 1.0F : 0.0F; }
    static float toFloat(float v) { return v; }
    static float toFloat(std::int64_t v) { return static_cast<float>(v); }
    static std::int64_t toInteger(const std::string&) { return 0; }
    static std::int64_t toInteger(bool v) { return v ? 1 : 0; }
    static std::int64_t toInteger(float v) { return static_cast<std::int64_t>(v); }
    static std::int64_t toInteger(std::int64_t v) { return v; }

    MemoryStores::Value lookup(std::string_view key) const {
        if (auto saved = module_.saved.find(key); saved != module_.saved.end()) {
            return saved->second;
        }
        if (auto registered = registered_.find(key); registered != registered_.end()) {
            return registered->second;
        }
        return std::string();
    }

    void write(std::string_view key, MemoryStores::Value value) {
        module_.saved[std::string(key)] = std::move(value);
        module_.writes.emplace_back(key);
    }

    MemoryStores::Module& module_;
    std::map<std::string, std::string, std::less<>> registered_;
};

}  // namespace

std::unique_ptr<SettingsStore> MemoryStores::defaultsForModuleWithName(std::string_view moduleName) {
    auto found = modules_.find(moduleName);
    if (found == modules_.end()) {
        found = modules_.emplace(std::string(moduleName), Module{}).first;
    }
    return std::make_unique<MemoryStore>(found->second);
}

}  // namespace pelmora::testing
