// Any text as a saved setting value, through the parsing and messages every
// text store shares (the key-file store and the Windows registry store
// alike): a text of a type must read back bit for bit after it is written
// again, a text of no type must read as the registered default with exactly
// one short one-line message, and nothing may crash.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "SettingText.h"
#include "SettingsSchema.h"
#include "TextSettingsStore.h"

namespace {

using namespace pelmora;

// A store whose backend holds one saved text under every key.
class OneTextStore : public TextSettingsStore {
public:
    OneTextStore(std::string text, std::vector<std::string>& messages)
        : TextSettingsStore("fuzz", [&messages](const std::string& message) { messages.push_back(message); }),
          text_(std::move(text)) {}

    std::map<std::string, std::string, std::less<>> written;

protected:
    SavedText savedText(std::string_view) override { return {true, true, text_}; }
    bool keepsKeyName(std::string_view) const override { return true; }
    std::string_view kind() const override { return "memory"; }
    bool saveTexts(const std::map<std::string, std::string, std::less<>>& texts) override {
        written = texts;
        return true;
    }

private:
    std::string text_;
};

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Messages stay one line and short, whatever they quote.
void checkMessage(const std::string& message) {
    check(message.size() < 600);
    for (const char c : message) {
        const auto byte = static_cast<unsigned char>(c);
        check(byte >= 0x20 && byte != 0x7f);
    }
}

void checkRoundTrips(std::string_view text) {
    if (const auto value = parseFloatText(text)) {
        const auto again = parseFloatText(formatFloatText(*value));
        check(again.has_value() && sameBits(*again, *value));
    }
    if (const auto value = parseIntegerText(text)) {
        check(parseIntegerText(formatIntegerText(*value)) == value);
    }
    if (const auto value = parseBoolText(text)) {
        check(parseBoolText(formatBoolText(*value)) == value);
    }
}

void checkStoreReads(const Setting& setting, const std::string& text) {
    std::vector<std::string> messages;
    OneTextStore store(text, messages);
    store.registerDefaults({{std::string(setting.key), std::string(setting.defaultText)}});
    const std::string key(setting.key);
    const bool ofItsType = parsesAs(setting.type, text);
    for (int read = 0; read < 2; ++read) {
        switch (setting.type) {
            case SettingType::Boolean:
                check(store.boolForKey(key) == (ofItsType ? *parseBoolText(text) : registeredBool(setting)));
                break;
            case SettingType::Float:
                check(sameBits(store.floatForKey(key), ofItsType ? *parseFloatText(text) : registeredFloat(setting)));
                break;
            case SettingType::Integer:
                check(store.integerForKey(key) ==
                      (ofItsType ? *parseIntegerText(text) : static_cast<std::int64_t>(registeredInteger(setting))));
                break;
        }
    }
    check(messages.size() == (ofItsType ? 0U : 1U));
    for (const std::string& message : messages) {
        checkMessage(message);
    }
    // A write is read back at once, and saved as the text it reads from.
    store.setFloat(parseFloatText(text).value_or(1.5F), key);
    const float written = store.floatForKey(key);
    check(store.synchronize());
    check(sameBits(*parseFloatText(store.written.at(key)), written));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const Setting& setting = kSettings[data[0] % kSettings.size()];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    checkRoundTrips(text);
    checkStoreReads(setting, text);
    checkMessage(quoteForMessage(text));
    checkMessage(excerpt(text));
    return 0;
}
