#pragma once

#include <glib.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "AtomicFile.h"
#include "TextSettingsStore.h"

namespace pelmora {

// One module's settings in a hand-editable GLib key file, under the group
// [Settings]. A file that is not a key file, or is larger than any settings
// file could be (kLargestFile, refused before it is read), reads as the
// registered defaults with one message; such a file is left alone until the
// next save, which first keeps it as <file>.bad. Saves replace the file
// atomically and keep every key, group and comment the store does not know.
class KeyFileStore : public TextSettingsStore {
public:
    static constexpr std::int64_t kLargestFile = 1024 * 1024;

    KeyFileStore(std::filesystem::path file, SettingsWarningSink warn,
                 const FileSystemCalls& calls = FileSystemCalls::system());
    // A store that works on defaults and its own writes but can never be
    // saved; synchronize() fails with `reason`.
    static std::unique_ptr<KeyFileStore> unsaveable(std::string reason, SettingsWarningSink warn);
    ~KeyFileStore() override;
    KeyFileStore(const KeyFileStore&) = delete;
    KeyFileStore& operator=(const KeyFileStore&) = delete;

    const std::filesystem::path& file() const { return file_; }

protected:
    SavedText savedText(std::string_view key) override;
    bool keepsKeyName(std::string_view key) const override;
    std::string_view kind() const override { return "a key file"; }
    bool saveTexts(const std::map<std::string, std::string, std::less<>>& texts) override;

private:
    KeyFileStore(SettingsWarningSink warn, std::string unsaveableReason);

    void load();
    bool saveFile();
    bool keepDamagedCopy(const std::filesystem::path& target);

    std::filesystem::path file_;
    const FileSystemCalls& calls_;
    GKeyFile* keyFile_;
    bool damaged_ = false;
};

}  // namespace pelmora
