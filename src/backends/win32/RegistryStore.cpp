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

// A value that keeps growing faster than it can be read is given up on.
constexpr int kReadAttempts = 8;

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

RegistryStore::RegistryStore(HKEY root, std::wstring path, std::string shownAs, RegistryWarningSink warn,
                             ValueQuery query)
    : TextSettingsStore(std::move(shownAs), std::move(warn)), root_(root), path_(std::move(path)), query_(query) {
    // A key that does not exist yet simply holds no saved values.
    if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS) {
        key_ = nullptr;
    }
}

RegistryStore::RegistryStore(std::string reason, RegistryWarningSink warn)
    : TextSettingsStore(std::string(), std::move(warn), std::move(reason)) {}

RegistryStore::~RegistryStore() {
    if (key_ != nullptr) {
        RegCloseKey(key_);
    }
}

bool RegistryStore::keepsKeyName(std::string_view key) const { return usableValueName(key); }

TextSettingsStore::SavedText RegistryStore::savedText(std::string_view key) {
    if (key_ == nullptr) {
        return {};
    }
    const std::wstring name = widen(key);
    DWORD type = 0;
    DWORD size = 0;
    if (query_(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<BYTE> data;
    LSTATUS read = ERROR_MORE_DATA;
    // The value may grow between asking its size and reading it; each
    // refusal says the size it has now.
    for (int attempt = 0; attempt < kReadAttempts && read == ERROR_MORE_DATA; ++attempt) {
        data.assign(size + sizeof(wchar_t), 0);
        read = query_(key_, name.c_str(), nullptr, &type, data.data(), &size);
    }
    if (read != ERROR_SUCCESS) {
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

bool RegistryStore::saveTexts(const std::map<std::string, std::string, std::less<>>& texts) {
    HKEY key = nullptr;
    const LSTATUS created =
        RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (created != ERROR_SUCCESS) {
        return fail("cannot save settings in " + where() + ": " + windowsErrorText(static_cast<DWORD>(created)));
    }
    for (const auto& [name, value] : texts) {
        const std::wstring wideName = widen(name);
        const std::wstring text = widen(value);
        const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        const LSTATUS set =
            RegSetValueExW(key, wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
        if (set != ERROR_SUCCESS) {
            RegCloseKey(key);
            return fail("cannot save " + name + " in " + where() + ": " + windowsErrorText(static_cast<DWORD>(set)));
        }
    }
    RegCloseKey(key);
    // Later reads through this handle see what was just saved.
    if (key_ == nullptr && RegOpenKeyExW(root_, path_.c_str(), 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS) {
        key_ = nullptr;
    }
    return true;
}

}  // namespace pelmora
