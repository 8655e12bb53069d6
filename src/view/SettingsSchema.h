#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace pelmora {

enum class SettingType { Boolean, Float, Integer };

// The groups the options dialogs, --help and the pages show the settings in.
enum class SettingSection { Spheres, Motion, ElectricField };

inline constexpr std::array<std::string_view, 3> kSettingSectionTitles{"Spheres", "Motion", "Electric field"};

constexpr std::string_view sectionTitle(SettingSection section) {
    return kSettingSectionTitles[static_cast<std::size_t>(section)];
}

// The values a control offers: a value control's lowest and highest value,
// what one step adds and how many decimals it shows.
struct SettingRange {
    double low = 0.0;
    double high = 0.0;
    double step = 0.0;
    int digits = 0;
};

// Everything known about one persisted setting. The view reads the first
// four columns; hosts read the rest to present it.
struct Setting {
    // The store's key, which is also the name of the view field holding it.
    std::string_view key;
    SettingType type;
    // The text registered as its default.
    std::string_view defaultText;
    // The options sheet's control for it.
    std::string_view outlet;
    // What a user reads beside the control; '_' marks the mnemonic letter.
    std::string_view label;
    SettingSection section;
    // Its place in the dialogs, --help and the pages, from 0.
    int shownAt;
    // What the options dialogs offer (none for a boolean).
    SettingRange sheet;
    // The XScreenSaver page's slider or spin button range, kept near the
    // default because its sliders are linear.
    SettingRange page;
    // One line for --help and the manual: what it does.
    std::string_view help;
};

// The eleven persisted settings in registration order.
inline constexpr std::array<Setting, 11> kSettings{{
    {"localFieldDisplay", SettingType::Float, "400.0", "localFieldDisplayControl", "Field line len_gth",
     SettingSection::ElectricField, 10, {0, 10000, 10, 1}, {0, 2000, 0, 0}, "how long the field lines are drawn"},
    {"speedDivisor", SettingType::Float, "50.0", "speedControl", "_Speed", SettingSection::Motion, 6,
     {0, 1000, 1, 1}, {1, 200, 0, 0}, "how fast the spheres move"},
    {"showLocalFields", SettingType::Boolean, "YES", "localFieldToggle", "Show _field lines",
     SettingSection::ElectricField, 9, {}, {}, "draw the field acting on each sphere as a white line"},
    {"bouncingEnabled", SettingType::Boolean, "NO", "bounceToggle", "Spheres _bounce off each other",
     SettingSection::Motion, 7, {}, {}, "spheres that touch push each other apart"},
    {"labelsEnabled", SettingType::Boolean, "NO", "labelToggle", "Sho_w charges", SettingSection::Spheres, 5, {}, {},
     "write each sphere's charge on it"},
    {"electricFieldStrength", SettingType::Float, "2.0", "electricFieldStrengthControl", "Field s_trength",
     SettingSection::ElectricField, 8, {-100, 100, 0.1, 2}, {-10, 10, 0, 0},
     "how strongly charges pull and push (below 0 reverses it)"},
    {"numberOfThings", SettingType::Integer, "40", "numberControl", "_Number of spheres", SettingSection::Spheres, 0,
     {0, 1000, 1, 0}, {0, 1000, 0, 0}, "how many spheres there are"},
    {"chargeRange", SettingType::Integer, "2", "chargeRangeControl", "_Largest charge", SettingSection::Spheres, 1,
     {0, 10, 1, 0}, {0, 10, 0, 0}, "the largest charge (charges run from minus it to plus it)"},
    {"neutralCharges", SettingType::Boolean, "YES", "neutralToggle", "Allow n_eutral spheres",
     SettingSection::Spheres, 2, {}, {}, "whether a sphere may have no charge"},
    {"fillSpheres", SettingType::Boolean, "YES", "fillToggle", "F_illed spheres", SettingSection::Spheres, 4, {}, {},
     "filled discs rather than rings"},
    {"sphereRadii", SettingType::Float, "10.0", "sphereRadiiControl", "Sphere _radius", SettingSection::Spheres, 3,
     {1, 100, 0.5, 1}, {2, 40, 0, 0}, "the radius of every sphere, in pixels"},
}};

// The entry for `key`, or null when it is not a setting.
constexpr const Setting* findSetting(std::string_view key) {
    for (const Setting& entry : kSettings) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

// The entry whose sheet control is `outlet`, or null.
constexpr const Setting* findSettingOfOutlet(std::string_view outlet) {
    for (const Setting& entry : kSettings) {
        if (entry.outlet == outlet) {
            return &entry;
        }
    }
    return nullptr;
}

// The settings in the order they are shown to a user.
constexpr std::array<const Setting*, kSettings.size()> settingsAsShown() {
    std::array<const Setting*, kSettings.size()> shown{};
    for (const Setting& entry : kSettings) {
        shown[static_cast<std::size_t>(entry.shownAt)] = &entry;
    }
    return shown;
}

// The label without its mnemonic mark, as a page or a message shows it.
template <std::size_t N = 64>
struct PlainLabel {
    std::array<char, N> text{};
    std::size_t size = 0;
    constexpr std::string_view view() const { return {text.data(), size}; }
};

constexpr PlainLabel<> plainLabel(std::string_view label) {
    PlainLabel<> plain;
    for (const char c : label) {
        if (c != '_' && plain.size < plain.text.size()) {
            plain.text[plain.size++] = c;
        }
    }
    return plain;
}

namespace settings_schema_checks {

constexpr bool everyPlaceShownOnce() {
    std::array<int, kSettings.size()> seen{};
    for (const Setting& entry : kSettings) {
        if (entry.shownAt < 0 || entry.shownAt >= static_cast<int>(kSettings.size())) {
            return false;
        }
        ++seen[static_cast<std::size_t>(entry.shownAt)];
    }
    for (const int count : seen) {
        if (count != 1) {
            return false;
        }
    }
    return true;
}

constexpr bool keysAndOutletsUnique() {
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        for (std::size_t j = i + 1; j < kSettings.size(); ++j) {
            if (kSettings[i].key == kSettings[j].key || kSettings[i].outlet == kSettings[j].outlet) {
                return false;
            }
        }
    }
    return true;
}

static_assert(everyPlaceShownOnce(), "each setting needs a place of its own in the dialogs");
static_assert(keysAndOutletsUnique(), "a key or an outlet is named twice");

}  // namespace settings_schema_checks

}  // namespace pelmora
