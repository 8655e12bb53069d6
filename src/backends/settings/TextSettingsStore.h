#pragma once

#include <functional>
#include <map>
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

// The rules every store that keeps its values as text follows, whatever it
// keeps them in: registered defaults never override saved values; a saved
// text is of a type only when the whole of it parses, else it reads as the
// registered default after one message per key; writes are kept until
// synchronize(), and reads see them at once; a store made unsaveable runs
// on defaults and its own writes and fails every synchronize() saying why.
// A backend only reads and writes texts.
class TextSettingsStore : public SettingsStore {
public:
    ~TextSettingsStore() override = default;

    void registerDefaults(const SettingsDefaults& defaults) final;
    // Reads and writes by type, each pair in the same text form.
    bool boolForKey(std::string_view key) final;
    void setBool(bool value, std::string_view key) final;
    float floatForKey(std::string_view key) final;
    void setFloat(float value, std::string_view key) final;
    std::int64_t integerForKey(std::string_view key) final;
    void setInteger(std::int64_t value, std::string_view key) final;
    bool synchronize() final;
    std::string lastError() const final { return lastError_; }

protected:
    // `where` names the store in messages (a file, a registry key); a
    // non-empty `unsaveableReason` makes every synchronize() fail with it.
    TextSettingsStore(std::string where, SettingsWarningSink warn, std::string unsaveableReason = {});

    // What the backend holds for a key.
    struct SavedText {
        bool present = false;
        // False for a value that is no text at all; `text` then describes it.
        bool isText = true;
        std::string text;
    };
    virtual SavedText savedText(std::string_view key) = 0;
    // Whether a key of this name can be kept (names with control characters
    // never are), and how to name the backend when it cannot ("a key file",
    // "the registry").
    virtual bool keepsKeyName(std::string_view key) const = 0;
    virtual std::string_view kind() const = 0;
    // Writes every pending text; true when all of them are kept. A failure
    // goes through fail().
    virtual bool saveTexts(const std::map<std::string, std::string, std::less<>>& texts) = 0;

    bool fail(const std::string& message);
    void warn(const std::string& message) const { warn_(message); }
    const std::string& where() const { return where_; }

private:
    // The text of `key` to parse as `type`: a pending write, a saved text of
    // that type, else its registered text.
    std::string textForKey(std::string_view key, SettingType type);
    std::string registeredText(std::string_view key) const;
    bool usableName(std::string_view key) const;
    void setText(std::string_view key, std::string text);

    std::string where_;
    SettingsWarningSink warn_;
    std::string unsaveableReason_;
    std::map<std::string, std::string, std::less<>> registered_;
    std::map<std::string, std::string, std::less<>> pending_;
    std::set<std::string, std::less<>> warnedKeys_;
    std::string lastError_;
};

}  // namespace pelmora
