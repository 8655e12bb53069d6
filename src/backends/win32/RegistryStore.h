#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "TextSettingsStore.h"

namespace pelmora {

// The store's messages go where every text store's go.
using RegistryWarningSink = SettingsWarningSink;

// One module's settings as text values (REG_SZ) of one registry key, so that
// they read and edit like the key-file store's: the same texts, the same
// parse rules, the same message for a value that is not of its type (which
// then reads as its registered default). DWORD and QWORD values someone
// made by hand read as their decimal text. Writes are kept until
// synchronize(), which creates the key when needed.
class RegistryStore : public TextSettingsStore {
public:
    // How a value is read; a test may stand in for the registry.
    using ValueQuery = decltype(&RegQueryValueExW);

    // `path` is the key below `root`; `shownAs` names it in messages.
    RegistryStore(HKEY root, std::wstring path, std::string shownAs, RegistryWarningSink warn,
                  ValueQuery query = &RegQueryValueExW);
    // A store that works on defaults and its own writes but can never be
    // saved; synchronize() fails with `reason`.
    RegistryStore(std::string reason, RegistryWarningSink warn);
    ~RegistryStore() override;
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

protected:
    SavedText savedText(std::string_view key) override;
    bool keepsKeyName(std::string_view key) const override;
    std::string_view kind() const override { return "the registry"; }
    bool saveTexts(const std::map<std::string, std::string, std::less<>>& texts) override;

private:
    HKEY root_ = nullptr;
    std::wstring path_;
    HKEY key_ = nullptr;
    ValueQuery query_ = &RegQueryValueExW;
};

// The text of a Windows error code, on one line.
std::string windowsErrorText(DWORD error);

}  // namespace pelmora
