#pragma once

#include <array>
#include <string_view>

namespace pelmora {

enum class SettingType { Boolean, Float, Integer };

struct SettingKey {
    std::string_view key;
    SettingType type;
    std::string_view defaultText;
};

// The eleven persisted settings, in registration order, each stored under
// the name of the view field that holds it, with its registered default text.
inline constexpr std::array<SettingKey, 11> kSettingKeys{{
    {"localFieldDisplay", SettingType::Float, "400.0"},
    {"speedDivisor", SettingType::Float, "50.0"},
    {"showLocalFields", SettingType::Boolean, "YES"},
    {"bouncingEnabled", SettingType::Boolean, "NO"},
    {"labelsEnabled", SettingType::Boolean, "NO"},
    {"electricFieldStrength", SettingType::Float, "2.0"},
    {"numberOfThings", SettingType::Integer, "40"},
    {"chargeRange", SettingType::Integer, "2"},
    {"neutralCharges", SettingType::Boolean, "YES"},
    {"fillSpheres", SettingType::Boolean, "YES"},
    {"sphereRadii", SettingType::Float, "10.0"},
}};

// The entry for `key`, or null when it is not a setting.
constexpr const SettingKey* findSettingKey(std::string_view key) {
    for (const SettingKey& entry : kSettingKeys) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace pelmora
