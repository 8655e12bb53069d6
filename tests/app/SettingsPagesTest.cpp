// What users read about the settings outside the program (the GTK sheet's
// interface file, the manual, XScreenSaver's page) against the settings
// table that the program itself reads: a label, range or default changed in
// one place and not the other fails here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "SettingsSchema.h"

namespace pelmora {
namespace {

std::string readText(const char* path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string escaped(std::string_view text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(std::string(text), special, R"(\$&)");
}

double number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

std::string plain(std::string_view label) { return std::string(plainLabel(label).view()); }

TEST(SettingsPages, TheGtkSheetShowsEachSettingInItsSectionWithItsLabelAndRange) {
    const std::string ui = readText(PELMORA_CONTROL_PANEL_UI);
    ASSERT_FALSE(ui.empty());
    std::vector<std::size_t> sectionAt;
    for (const std::string_view title : kSettingSectionTitles) {
        sectionAt.push_back(ui.find("&lt;b&gt;" + std::string(title) + "&lt;/b&gt;"));
        ASSERT_NE(sectionAt.back(), std::string::npos) << title;
    }
    sectionAt.push_back(ui.size());
    std::size_t previous = 0;
    for (const Setting* setting : settingsAsShown()) {
        const std::string outlet(setting->outlet);
        SCOPED_TRACE(outlet);
        const std::size_t at = ui.find("id=\"" + outlet + "\"");
        ASSERT_NE(at, std::string::npos);
        EXPECT_GT(at, previous) << "not in the order the table shows it";
        previous = at;
        const auto section = static_cast<std::size_t>(setting->section);
        EXPECT_TRUE(at > sectionAt[section] && at < sectionAt[section + 1]) << "not in its section";
        if (setting->type == SettingType::Boolean) {
            EXPECT_TRUE(std::regex_search(ui, std::regex("id=\"" + outlet + "\">\\s*<property name=\"label\">" +
                                                          escaped(setting->label) + "</property>")));
            continue;
        }
        EXPECT_TRUE(std::regex_search(
            ui, std::regex("<property name=\"label\">" + escaped(setting->label) +
                           "</property>\\s*<property name=\"use-underline\">True</property>\\s*"
                           "<property name=\"mnemonic-widget\">" + outlet + "</property>")));
        std::smatch range;
        ASSERT_TRUE(std::regex_search(
            ui, range,
            std::regex("id=\"" + outlet + "Adjustment\">\\s*<property name=\"lower\">([-0-9.]+)</property>\\s*"
                       "<property name=\"upper\">([-0-9.]+)</property>\\s*"
                       "<property name=\"step-increment\">([-0-9.]+)</property>")));
        EXPECT_EQ(number(range[1]), setting->sheet.low);
        EXPECT_EQ(number(range[2]), setting->sheet.high);
        EXPECT_EQ(number(range[3]), setting->sheet.step);
        std::smatch digits;
        const std::regex digitsOf("id=\"" + outlet +
                                  "\">(?:\\s*<property name=\"[-a-z]+\">[^<]*</property>)*?"
                                  "\\s*<property name=\"digits\">([0-9]+)</property>");
        ASSERT_TRUE(std::regex_search(ui, digits, digitsOf));
        EXPECT_EQ(std::stoi(digits[1]), setting->sheet.digits);
    }
}

// --help is made from the table; each of its entries must open the
// manual's entry for that setting, in the same order.
TEST(SettingsPages, TheManualDescribesEachSettingAsHelpDoes) {
    std::string manual = readText(PELMORA_MANUAL);
    ASSERT_FALSE(manual.empty());
    manual = std::regex_replace(manual, std::regex(R"(\\-)"), "-");
    const std::size_t settingsAt = manual.find(".SH SETTINGS");
    ASSERT_NE(settingsAt, std::string::npos);
    const std::string help = CommandLine::helpText();
    std::size_t previous = settingsAt;
    for (const Setting* setting : settingsAsShown()) {
        const std::string key(setting->key);
        SCOPED_TRACE(key);
        std::smatch entry;
        ASSERT_TRUE(std::regex_search(help, entry, std::regex("  -" + key + " (\\S+)\n      ([^\n]+)\n")));
        const std::string heading = ".BI -" + key + " \" " + entry[1].str() + "\"\n";
        const std::size_t at = manual.find(heading, settingsAt);
        ASSERT_NE(at, std::string::npos) << heading;
        EXPECT_GT(at, previous) << "not in the order --help gives";
        previous = at;
        const std::string words = entry[2].str() + ".";
        EXPECT_EQ(manual.substr(at + heading.size(), words.size()), words);
    }
}

// Every option --help names has an entry of its own in the manual (with one
// dash or two, as the program takes either).
TEST(SettingsPages, TheManualHasAnEntryForEachOptionHelpNames) {
    std::string manual = readText(PELMORA_MANUAL);
    ASSERT_FALSE(manual.empty());
    manual = std::regex_replace(manual, std::regex(R"(\\-)"), "-");
    const std::string help = CommandLine::helpText();
    static const std::regex option(R"((?:^|[^\w-])--([a-z][a-z-]*))");
    int options = 0;
    for (auto match = std::sregex_iterator(help.begin(), help.end(), option); match != std::sregex_iterator();
         ++match, ++options) {
        const std::string name = (*match)[1].str();
        EXPECT_TRUE(std::regex_search(manual, std::regex("\n\\.BI? \"?--?" + name + "\\b")))
            << name << " has no entry in the manual";
    }
    EXPECT_GT(options, 20);
}

// The value of one attribute of an element's text, empty when it has none.
std::string attribute(const std::string& element, const std::string& name) {
    std::smatch value;
    return std::regex_search(element, value, std::regex("\\s" + name + "=\"([^\"]*)\"")) ? value[1].str()
                                                                                          : std::string();
}

// XScreenSaver hands the page's values to the hack as -key value pairs: the
// page must offer each setting under its key, with its label, the page's
// range and the registered default, and a check box must start as the
// default and ask for the other value.
TEST(SettingsPages, TheXScreenSaverPageOffersEachSettingAsTheTableSays) {
    const std::string xml = readText(PELMORA_XML);
    ASSERT_FALSE(xml.empty());
    for (const Setting& setting : kSettings) {
        const std::string key(setting.key);
        SCOPED_TRACE(key);
        std::smatch widget;
        ASSERT_TRUE(std::regex_search(xml, widget, std::regex("<(number|boolean)\\s+id=\"" + key + "\"([^>]*?)/>")));
        const std::string element = widget[0];
        EXPECT_EQ(attribute(element, "_label"), plain(setting.label));
        if (setting.type == SettingType::Boolean) {
            ASSERT_EQ(widget[1], "boolean");
            if (setting.defaultText == "YES") {
                EXPECT_EQ(attribute(element, "arg-unset"), "-" + key + " NO");
                EXPECT_EQ(attribute(element, "arg-set"), "");
            } else {
                EXPECT_EQ(attribute(element, "arg-set"), "-" + key + " YES");
                EXPECT_EQ(attribute(element, "arg-unset"), "");
            }
            continue;
        }
        ASSERT_EQ(widget[1], "number");
        EXPECT_EQ(attribute(element, "arg"), "-" + key + " %");
        EXPECT_EQ(attribute(element, "type"), setting.type == SettingType::Integer ? "spinbutton" : "slider");
        EXPECT_EQ(attribute(element, "default"), std::string(setting.defaultText));
        EXPECT_EQ(number(attribute(element, "low")), setting.page.low);
        EXPECT_EQ(number(attribute(element, "high")), setting.page.high);
    }
}

}  // namespace
}  // namespace pelmora
