#pragma once

#include <glib.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "SettingsSchema.h"
#include "SettingsStore.h"

namespace pelmora {

// Receives one-line messages about settings that cannot be used as they are.
using SettingsWarningSink = std::function<void(const std::string& message)>;

// Writes "pelmora: <message>" to standard error.
void warnOnStandardError(const std::string& message);

// One module's settings in a hand-editable GLib key file, under the group
// [Settings]. Values that are not of the type asked for, and files that are
// not key files, read as the registered defaults with one message each; such
// a file is left alone until the next save, which first keeps a copy of it as
// <file>.bad. Saves replace the file atomically and keep every key, group and
// comment the store does not know.
class KeyFileStore : public SettingsStore {
public:
    KeyFileStore(std::filesystem::path file, SettingsWarningSink warn);
    // A store that works on defaults and its own writes but can never be
    // saved; synchronize() fails with `reason`.
    static std::unique_ptr<KeyFileStore> unsaveable(std::string reason, SettingsWarningSink warn);
    ~KeyFileStore() override;
    KeyFileStore(const KeyFileStore&) = delete;
    KeyFileStore& operator=(const KeyFileStore&) = delete;

    void registerDefaults(const SettingsDefaults& defaults) override;

    bool boolForKey(std::string_view key) override;
    float floatForKey(std::string_view key) override;
    std::int64_t integerForKey(std::string_view key) override;

    void setBool(bool value, std::string_view key) override;
    void setFloat(float value, std::string_view key) override;
    void setInteger(std::int64_t value, std::string_view key) override;

    bool synchronize() override;
    std::string lastError() const override { return lastError_; }

    const std::filesystem::path& file() const { return file_; }

private:
    KeyFileStore(SettingsWarningSink warn, std::string unsaveableReason);

    void load();
    // The saved text of `key` when it is of `type`, else its registered text.
    std::string textForKey(std::string_view key, SettingType type);
    std::string registeredText(std::string_view key) const;
    void setText(std::string_view key, const std::string& text);
    bool saveFile();
    bool keepDamagedCopy(const std::filesystem::path& target);
    bool fail(const std::string& message);

    std::filesystem::path file_;
    SettingsWarningSink warn_;
    GKeyFile* keyFile_;
    std::map<std::string, std::string, std::less<>> registered_;
    std::set<std::string, std::less<>> warnedKeys_;
    std::string unsaveableReason_;
    std::string lastError_;
    bool damaged_ = false;
    bool dirty_ = false;
};

}  // namespace pelmora
