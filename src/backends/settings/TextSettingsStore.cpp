#include "TextSettingsStore.h"

#include <cstdio>
#include <utility>

#include "SettingText.h"

namespace pelmora {

namespace {

// No store keeps a name with control characters (DEL included): it could
// not be shown on one line, nor written in a key file, nor typed by hand.
bool printableName(std::string_view key) {
    for (const char c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            return false;
        }
    }
    return !key.empty();
}

}  // namespace

void warnOnStandardError(const std::string& message) {
    std::fprintf(stderr, "pelmora: %s\n", message.c_str());
}

TextSettingsStore::TextSettingsStore(std::string where, SettingsWarningSink warn, std::string unsaveableReason)
    : where_(std::move(where)), warn_(std::move(warn)), unsaveableReason_(std::move(unsaveableReason)) {}

void TextSettingsStore::registerDefaults(const SettingsDefaults& defaults) {
    for (const auto& [key, text] : defaults) {
        registered_.insert_or_assign(key, text);
    }
}

std::string TextSettingsStore::registeredText(std::string_view key) const {
    const auto found = registered_.find(key);
    return found == registered_.end() ? std::string() : found->second;
}

std::string TextSettingsStore::textForKey(std::string_view key, SettingType type) {
    if (const auto written = pending_.find(key); written != pending_.end()) {
        return written->second;
    }
    const SavedText saved = usableName(key) ? savedText(key) : SavedText{};
    if (!saved.present) {
        return registeredText(key);
    }
    if (saved.isText && parsesAs(type, saved.text)) {
        return saved.text;
    }
    if (warnedKeys_.insert(std::string(key)).second) {
        warn_(badValueMessage(where_, key, saved.text, type, registeredText(key)));
    }
    return registeredText(key);
}

bool TextSettingsStore::boolForKey(std::string_view key) {
    return parseBoolText(textForKey(key, SettingType::Boolean)).value_or(false);
}

float TextSettingsStore::floatForKey(std::string_view key) {
    return parseFloatText(textForKey(key, SettingType::Float)).value_or(0.0F);
}

std::int64_t TextSettingsStore::integerForKey(std::string_view key) {
    return parseIntegerText(textForKey(key, SettingType::Integer)).value_or(0);
}

bool TextSettingsStore::usableName(std::string_view key) const { return printableName(key) && keepsKeyName(key); }

void TextSettingsStore::setText(std::string_view key, std::string text) {
    if (!usableName(key)) {
        warn_("cannot store a setting named " + quoteForMessage(key) + " in " + std::string(kind()) +
              "; it is not saved");
        return;
    }
    pending_.insert_or_assign(std::string(key), std::move(text));
}

void TextSettingsStore::setBool(bool value, std::string_view key) { setText(key, formatBoolText(value)); }

void TextSettingsStore::setFloat(float value, std::string_view key) { setText(key, formatFloatText(value)); }

void TextSettingsStore::setInteger(std::int64_t value, std::string_view key) {
    setText(key, formatIntegerText(value));
}

bool TextSettingsStore::fail(const std::string& message) {
    lastError_ = message;
    return false;
}

bool TextSettingsStore::synchronize() {
    if (!unsaveableReason_.empty()) {
        return fail(unsaveableReason_);
    }
    // Nothing to make persistent: whatever the backend holds stays untouched.
    if (pending_.empty()) {
        lastError_.clear();
        return true;
    }
    if (!saveTexts(pending_)) {
        return false;
    }
    pending_.clear();
    lastError_.clear();
    return true;
}

}  // namespace pelmora
