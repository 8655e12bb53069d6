#include "SettingsHelp.h"

#include <array>
#include <charconv>
#include <string_view>

#include "SettingsSchema.h"

namespace pelmora {

namespace {

std::string_view argumentName(SettingType type) {
    switch (type) {
        case SettingType::Boolean: return "YES|NO";
        case SettingType::Integer: return "N";
        case SettingType::Float: return "NUMBER";
    }
    return "";
}

// The shortest text of a range's end: "0", "-100", "0.5".
std::string numberText(double value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

}  // namespace

std::string SettingsHelp::text() {
    std::string text;
    for (const Setting* setting : settingsAsShown()) {
        text += "  -";
        text += setting->key;
        text += ' ';
        text += argumentName(setting->type);
        text += "\n      ";
        text += setting->help;
        if (setting->type != SettingType::Boolean) {
            text += setting->type == SettingType::Integer ? "; a whole number from " : "; a number from ";
            text += numberText(setting->sheet.low) + " to " + numberText(setting->sheet.high);
        }
        text += "; default ";
        text += setting->defaultText;
        text += "\n";
    }
    return text;
}

}  // namespace pelmora
