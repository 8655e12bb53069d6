// The XScreenSaver dialog file hands the user's choices to the hack as
// -key value pairs; it must name exactly the eleven settings, each with the
// default the view registers, or the dialog would show and pass wrong values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "SettingsSchema.h"

namespace pelmora {
namespace {

using Attributes = std::map<std::string, std::string>;

std::string readXml() {
    std::ifstream in(PELMORA_XML);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

Attributes attributesOf(const std::string& tagBody) {
    static const std::regex attribute(R"re(([-\w]+)="([^"]*)")re");
    Attributes attributes;
    for (auto it = std::sregex_iterator(tagBody.begin(), tagBody.end(), attribute); it != std::sregex_iterator();
         ++it) {
        attributes[(*it)[1]] = (*it)[2];
    }
    return attributes;
}

// Every <number .../> and <boolean .../> element by its id, with its kind.
std::map<std::string, std::pair<std::string, Attributes>> widgetsOf(const std::string& xml) {
    static const std::regex widget(R"re(<(number|boolean)\s([^>]*?)/>)re");
    std::map<std::string, std::pair<std::string, Attributes>> widgets;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), widget); it != std::sregex_iterator(); ++it) {
        Attributes attributes = attributesOf((*it)[2]);
        const std::string id = attributes["id"];
        EXPECT_EQ(widgets.count(id), 0U) << "duplicate id " << id;
        widgets[id] = {(*it)[1], attributes};
    }
    return widgets;
}

TEST(PelmoraXmlTest, DescribesTheHackForXScreenSaver) {
    const std::string xml = readXml();
    ASSERT_FALSE(xml.empty()) << "cannot read " << PELMORA_XML;
    EXPECT_NE(xml.find(R"(<screensaver name="pelmora" _label="Pelmora">)"), std::string::npos);
    EXPECT_NE(xml.find(R"(<command arg="--root"/>)"), std::string::npos);
    EXPECT_TRUE(std::regex_search(xml, std::regex(R"(<_description>\s*\S[^<]*</_description>)")));
    EXPECT_NE(xml.find("</screensaver>"), std::string::npos);
}

TEST(PelmoraXmlTest, NamesExactlyTheElevenSettingsWithTheirDefaults) {
    auto widgets = widgetsOf(readXml());
    ASSERT_EQ(widgets.count("showfps"), 1U);
    EXPECT_EQ(widgets["showfps"].first, "boolean");
    EXPECT_EQ(widgets["showfps"].second["arg-set"], "--fps");
    widgets.erase("showfps");

    std::set<std::string> expected;
    for (const SettingKey& setting : kSettingKeys) {
        const std::string key(setting.key);
        expected.insert(key);
        SCOPED_TRACE(key);
        ASSERT_EQ(widgets.count(key), 1U);
        const auto& [kind, attributes] = widgets.at(key);
        if (setting.type == SettingType::Boolean) {
            ASSERT_EQ(kind, "boolean");
            // A check box starts unchecked with arg-set and checked with
            // arg-unset; its starting state must be the registered default
            // and the argument must ask for the other value.
            const bool onByDefault = setting.defaultText == "YES";
            const std::string argument = attributes.count("arg-set") ? attributes.at("arg-set") : "";
            const std::string unsetArgument = attributes.count("arg-unset") ? attributes.at("arg-unset") : "";
            if (onByDefault) {
                EXPECT_EQ(unsetArgument, "-" + key + " NO");
                EXPECT_EQ(argument, "");
            } else {
                EXPECT_EQ(argument, "-" + key + " YES");
                EXPECT_EQ(unsetArgument, "");
            }
        } else {
            ASSERT_EQ(kind, "number");
            EXPECT_EQ(attributes.at("arg"), "-" + key + " %");
            const double registered = std::strtod(std::string(setting.defaultText).c_str(), nullptr);
            EXPECT_EQ(std::strtod(attributes.at("default").c_str(), nullptr), registered);
            EXPECT_LE(std::strtod(attributes.at("low").c_str(), nullptr), registered);
            EXPECT_GE(std::strtod(attributes.at("high").c_str(), nullptr), registered);
            if (setting.type == SettingType::Integer) {
                EXPECT_EQ(attributes.at("default").find('.'), std::string::npos) << "an integer setting";
            }
        }
        EXPECT_FALSE(attributes.count("_label") == 0 || attributes.at("_label").empty());
    }
    std::set<std::string> named;
    for (const auto& [id, widget] : widgets) {
        named.insert(id);
    }
    EXPECT_EQ(named, expected);
}

}  // namespace
}  // namespace pelmora
