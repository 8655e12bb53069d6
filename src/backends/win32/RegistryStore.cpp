#include "RegistryStore.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "SettingText.h"
#include "WideText.h"

namespace pelmora {
namespace {

// Registry values are limited to 16383 characters in their name; anything
// longer (or empty) cannot be a setting.
bool usableValueName(std::string_view key) { return !key.empty() && key.size() < 16383; }

// Registry texts may or may not carry their terminating NULs.
std::wstring trimNuls(std::wstring text) {
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::string windowsErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length > 0 ? narrow(std::wstring_view(buffer, length)) : std::string();
    LocalFree(buffer);
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '.')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(error) : text;
}

RegistryStore::RegistryStore(HKEY root, std::wstring path, std::string shownAs, RegistryWarningSink warn)
    : root_(root), path_(std::move(path)), shownAs_(std::move(shownAs)), warn_(std::move(warn)) {
    // A key that does not exist yet simply holds no saved values.
    if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS) {
        key_ = nullptr;
    }
}

RegistryStore::RegistryStore(std::string reason, RegistryWarningSink warn)
    : warn_(std::move(warn)), unsaveableReason_(std::move(reason)) {}

RegistryStore::~RegistryStore() {
    if (key_ != nullptr) {
        RegCloseKey(key_);
    }
}

void RegistryStore::registerDefaults(const SettingsDefaults& defaults) {
    for (const auto& [key, text] : defaults) {
        registered_.insert_or_assign(key, text);
    }
}

std::string RegistryStore::registeredText(std::string_view key) const {
    const auto found = registered_.find(key);
    return found == registered_.end() ? std::string() : found->second;
}

RegistryStore::Saved RegistryStore::readSaved(std::string_view key) const {
    if (key_ == nullptr || !usableValueName(key)) {
        return {};
    }
    const std::wstring name = widen(key);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<BYTE> data(size + sizeof(wchar_t));
    if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
        return {};
    }
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::wstring text(size / sizeof(wchar_t), L'\0');
        std::copy_n(data.data(), text.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(text.data()));
        return {true, true, narrow(trimNuls(std::move(text)))};
    }
    case REG_DWORD:
        if (size == sizeof(std::uint32_t)) {
            std::uint32_t value = 0;
            std::copy_n(data.data(), sizeof(value), reinterpret_cast<BYTE*>(&value));
            return {true, true, std::to_string(value)};
        }
        break;
    case REG_QWORD:
        if (size == sizeof(std::uint64_t)) {
            std::uint64_t value = 0;
            std::copy_n(data.data(), sizeof(value), reinterpret_cast<BYTE*>(&value));
            return {true, true, std::to_string(value)};
        }
        break;
    default:
        break;
    }
    return {true, false, "<a registry value of type " + std::to_string(type) + ">"};
}

std::string RegistryStore::textForKey(std::string_view key, SettingType type) {
    if (const auto written = pending_.find(key); written != pending_.end()) {
        return written->second;
    }
    const Saved saved = readSaved(key);
    if (!saved.present) {
        return registeredText(key);
    }
    if (saved.text && parsesAs(type, saved.value)) {
        return saved.value;
    }
    if (warnedKeys_.insert(std::string(key)).second) {
        warn_(badValueMessage(shownAs_, key, saved.value, type, registeredText(key)));
    }
    return registeredText(key);
}

bool RegistryStore::boolForKey(std::string_view key) {
    return parseBoolText(textForKey(key, SettingType::Boolean)).value_or(false);
}

float RegistryStore::floatForKey(std::string_view key) {
    return parseFloatText(textForKey(key, SettingType::Float)).value_or(0.0f);
}

std::int64_t RegistryStore::integerForKey(std::string_view key) {
    return parseIntegerText(textForKey(key, SettingType::Integer)).value_or(0);
}

void RegistryStore::setBool(bool value, std::string_view key) { pending_.insert_or_assign(std::string(key), formatBoolText(value)); }

void RegistryStore::setFloat(float value, std::string_view key) {
    pending_.insert_or_assign(std::string(key), formatFloatText(value));
}

void RegistryStore::setInteger(std::int64_t value, std::string_view key) {
    pending_.insert_or_assign(std::string(key), formatIntegerText(value));
}

bool RegistryStore::fail(const std::string& message) {
    lastError_ = message;
    return false;
}

bool RegistryStore::synchronize() {
    if (!unsaveableReason_.empty()) {
        return fail(unsaveableReason_);
    }
    if (pending_.empty()) {
        lastError_.clear();
        return true;
    }
    HKEY key = nullptr;
    const LSTATUS created =
        RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (created != ERROR_SUCCESS) {
        return fail("cannot save settings in " + shownAs_ + ": " + windowsErrorText(static_cast<DWORD>(created)));
    }
    for (auto entry = pending_.begin(); entry != pending_.end();) {
        if (!usableValueName(entry->first)) {
            warn_("cannot store a setting named " + quoteForMessage(entry->first) + " in the registry; it is not saved");
            entry = pending_.erase(entry);
            continue;
        }
        const std::wstring name = widen(entry->first);
        const std::wstring text = widen(entry->second);
        const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        const LSTATUS set =
            RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
        if (set != ERROR_SUCCESS) {
            RegCloseKey(key);
            return fail("cannot save " + entry->first + " in " + shownAs_ + ": " +
                        windowsErrorText(static_cast<DWORD>(set)));
        }
        entry = pending_.erase(entry);
    }
    RegCloseKey(key);
    // Later reads through this handle see what was just saved.
    if (key_ == nullptr && RegOpenKeyExW(root_, path_.c_str(), 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS) {
        key_ = nullptr;
    }
    lastError_.clear();
    return true;
}

}  // namespace pelmora
