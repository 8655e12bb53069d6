#include "SettingsHelp.h"

#include <array>
#include <string_view>

#include "SettingsSchema.h"

namespace pelmora {

namespace {

struct Explanation {
    std::string_view key;
    std::string_view meaning;
    std::string_view range;  // what the Options dialog offers; none for YES or NO
};

// The Options dialog's order, so that the two read alike.
constexpr std::array<Explanation, 11> kExplanations{{
    {"numberOfThings", "how many spheres there are", "0 to 1000"},
    {"chargeRange", "the largest charge (charges run from minus it to plus it)", "0 to 10"},
    {"neutralCharges", "whether a sphere may have no charge", ""},
    {"sphereRadii", "the radius of every sphere, in pixels", "1 to 100"},
    {"fillSpheres", "filled discs rather than rings", ""},
    {"labelsEnabled", "write each sphere's charge on it", ""},
    {"speedDivisor", "how fast the spheres move", "0 to 1000"},
    {"bouncingEnabled", "spheres that touch push each other apart", ""},
    {"electricFieldStrength", "how strongly charges pull and push (below 0 reverses it)", "-100 to 100"},
    {"showLocalFields", "draw the field acting on each sphere as a white line", ""},
    {"localFieldDisplay", "how long those lines are drawn", "0 to 10000"},
}};

constexpr bool explainsEverySettingOnce() {
    for (const SettingKey& setting : kSettingKeys) {
        int found = 0;
        for (const Explanation& explanation : kExplanations) {
            found += explanation.key == setting.key ? 1 : 0;
        }
        if (found != 1) {
            return false;
        }
    }
    return true;
}
static_assert(explainsEverySettingOnce(), "every setting needs exactly one line of help");

std::string_view argumentName(SettingType type) {
    switch (type) {
        case SettingType::Boolean: return "YES|NO";
        case SettingType::Integer: return "N";
        case SettingType::Float: return "NUMBER";
    }
    return "";
}

}  // namespace

std::string SettingsHelp::text() {
    std::string text;
    for (const Explanation& explanation : kExplanations) {
        const SettingKey* setting = findSettingKey(explanation.key);
        text += "  -";
        text += explanation.key;
        text += ' ';
        text += argumentName(setting->type);
        text += "\n      ";
        text += explanation.meaning;
        if (setting->type != SettingType::Boolean) {
            text += setting->type == SettingType::Integer ? "; a whole number from " : "; a number from ";
            text += explanation.range;
        }
        text += "; default ";
        text += setting->defaultText;
        text += "\n";
    }
    return text;
}

}  // namespace pelmora
