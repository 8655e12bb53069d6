#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "SettingsSchema.h"
#include "SettingsStore.h"

namespace pelmora {

// Receives one-line messages about settings that cannot be used as they are.
using RegistryWarningSink = std::function<void(const std::string& message)>;

// One module's settings as text values (REG_SZ) of one registry key, so that
// they read and edit like the key-file store's: the same texts, the same
// parse rules, the same message for a value that is not of its type (which
// then reads as its registered default). DWORD and QWORD values someone
// made by hand read as their decimal text. Writes are kept until
// synchronize(), which creates the key when needed.
class RegistryStore : public SettingsStore {
public:
    // `path` is the key below `root`; `shownAs` names it in messages.
    RegistryStore(HKEY root, std::wstring path, std::string shownAs, RegistryWarningSink warn);
    // A store that works on defaults and its own writes but can never be
    // saved; synchronize() fails with `reason`.
    RegistryStore(std::string reason, RegistryWarningSink warn);
    ~RegistryStore() override;
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    void registerDefaults(const SettingsDefaults& defaults) override;

    bool boolForKey(std::string_view key) override;
    float floatForKey(std::string_view key) override;
    std::int64_t integerForKey(std::string_view key) override;

    void setBool(bool value, std::string_view key) override;
    void setFloat(float value, std::string_view key) override;
    void setInteger(std::int64_t value, std::string_view key) override;

    bool synchronize() override;
    std::string lastError() const override { return lastError_; }

private:
    struct Saved {
        bool present = false;
        bool text = true;
        std::string value;
    };

    Saved readSaved(std::string_view key) const;
    // The saved text of `key` when it is of `type`, else its registered text.
    std::string textForKey(std::string_view key, SettingType type);
    std::string registeredText(std::string_view key) const;
    bool fail(const std::string& message);

    HKEY root_ = nullptr;
    std::wstring path_;
    std::string shownAs_;
    RegistryWarningSink warn_;
    HKEY key_ = nullptr;
    std::map<std::string, std::string, std::less<>> registered_;
    std::map<std::string, std::string, std::less<>> pending_;
    std::set<std::string, std::less<>> warnedKeys_;
    std::string unsaveableReason_;
    std::string lastError_;
};

// The text of a Windows error code, on one line.
std::string windowsErrorText(DWORD error);

}  // namespace pelmora
