// The XScreenSaver dialog file hands the user's choices to the hack as
// -key value pairs; it must name exactly the eleven settings, each with the
// default the view registers, or the dialog would show and pass wrong values.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MissingServer.h"
#include "HackProcess.h"
#include "SettingsSchema.h"
#include "TestWindow.h"
#include "XvfbServer.h"

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
    // Like the stock pages: a short first paragraph (xscreensaver-settings
    // shows it on one line, and a long one widens the whole dialog past the
    // screen), the rest after a blank line, and the author's line last.
    std::smatch description;
    ASSERT_TRUE(std::regex_search(xml, description, std::regex(R"(<_description>\s*([^<]*?)\s*</_description>)")));
    const std::string text = description[1];
    const std::string firstParagraph = text.substr(0, text.find("\n\n"));
    EXPECT_LE(firstParagraph.size(), 100U) << firstParagraph;
    EXPECT_NE(firstParagraph.size(), text.size());
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(\n\nWritten by [^\n]+; \d{4}\.$)"))) << text;
    EXPECT_NE(xml.find("<xscreensaver-updater />"), std::string::npos);
    EXPECT_NE(xml.find("</screensaver>"), std::string::npos);
}

TEST(PelmoraXmlTest, NamesExactlyTheElevenSettingsTheFrameRateAndTheOverlay) {
    auto widgets = widgetsOf(readXml());
    ASSERT_EQ(widgets.count("showfps"), 1U);
    EXPECT_EQ(widgets["showfps"].first, "boolean");
    EXPECT_EQ(widgets["showfps"].second["arg-set"], "--fps");
    widgets.erase("showfps");
    // The frame rate slider: microseconds between frames, faster to the
    // right, one sixtieth of a second by default as without --delay.
    ASSERT_EQ(widgets.count("delay"), 1U);
    EXPECT_EQ(widgets["delay"].second["arg"], "--delay %");
    EXPECT_EQ(widgets["delay"].second["default"], "16667");
    EXPECT_EQ(widgets["delay"].second["convert"], "invert");
    widgets.erase("delay");

    // Each setting's label, range and default: SettingsPagesTest.
    std::set<std::string> expected;
    for (const Setting& setting : kSettings) {
        expected.insert(std::string(setting.key));
    }
    std::set<std::string> named;
    for (const auto& [id, widget] : widgets) {
        named.insert(id);
    }
    EXPECT_EQ(named, expected);
}

std::vector<std::string> wordsOf(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// The arguments XScreenSaver's page runs the hack with when every check box
// is unticked and every number is at its default: the command's own, then
// each box's argument for "off" (a box whose default is off passes nothing).
std::vector<std::string> pageCommandWithEveryBoxOff(const std::string& xml) {
    std::smatch command;
    EXPECT_TRUE(std::regex_search(xml, command, std::regex(R"re(<command arg="([^"]*)"/>)re")));
    std::vector<std::string> arguments = wordsOf(command[1]);
    for (auto& [id, widget] : widgetsOf(xml)) {
        if (widget.first == "boolean" && widget.second.count("arg-unset") != 0) {
            for (const std::string& word : wordsOf(widget.second.at("arg-unset"))) {
                arguments.push_back(word);
            }
        }
    }
    return arguments;
}

class PelmoraPageCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (server_.display().empty()) {
            return testing::missingServer(server_.error());
        }
        char pattern[] = "/tmp/pelmora-page-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        configHome_ = pattern;
        // The window's Options dialog saved every box ticked and no spheres.
        std::filesystem::create_directories(configHome_ / "pelmora");
        std::ofstream(configHome_ / "pelmora" / "pelmora.conf")
            << "[Settings]\nlabelsEnabled=YES\nshowLocalFields=YES\nfillSpheres=YES\nbouncingEnabled=YES\n"
               "neutralCharges=YES\nnumberOfThings=0\n";
    }

    void TearDown() override {
        if (!configHome_.empty()) {
            std::filesystem::remove_all(configHome_);
        }
    }

    std::unique_ptr<testing::HackProcess> startHack(const std::vector<std::string>& arguments,
                                                    const testing::TestWindow& window, bool underXsecurelock) {
        return std::make_unique<testing::HackProcess>(
            PELMORA_PROGRAM, arguments,
            std::map<std::string, std::string>{{"DISPLAY", server_.display()},
                                               {"XDG_CONFIG_HOME", configHome_.string()},
                                               {"XSCREENSAVER_WINDOW", std::to_string(window.id())},
                                               {"XSECURELOCK_INSIDE_SAVER_MULTIPLEX", underXsecurelock ? "1" : ""}});
    }

    testing::XvfbServer server_{640, 480};
    std::filesystem::path configHome_;
};

// Field lines and charge labels are white; unfilled spheres of the default
// radius leave most of the window to the background; the default number of
// spheres shows although the file says none.
TEST_F(PelmoraPageCommandTest, ThePagesCommandWithEveryBoxOffRunsSoWhateverTheSettingsFileSays) {
    using namespace std::chrono_literals;
    testing::TestWindow window(server_.display(), 0, 0, 400, 300);
    ASSERT_TRUE(window.ok());
    const auto fileInUse = [](const testing::Picture& picture) {
        const testing::PixelCensus census = picture.census();
        return census.total > 0 && census.background == census.total;
    };
    {
        // xsecurelock starts its saver as `pelmora -root` with its marker
        // set; that run reads the file: no spheres, only the background.
        auto locker = startHack({"-root"}, window, true);
        bool seen = false;
        for (const auto deadline = std::chrono::steady_clock::now() + 5s;
             !seen && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms)) {
            seen = fileInUse(window.picture());
        }
        ASSERT_TRUE(seen) << locker->standardError();
    }
    window.fillWith(BlackPixel(window.display(), DefaultScreen(window.display())));
    const std::vector<std::string> arguments = pageCommandWithEveryBoxOff(readXml());
    auto hack = startHack(arguments, window, false);
    int framesLookedAt = 0;
    for (const auto deadline = std::chrono::steady_clock::now() + 10s;
         framesLookedAt < 20 && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
        const testing::PixelCensus census = window.picture().census();
        if (census.sphere == 0) {
            continue;  // not drawn yet
        }
        ++framesLookedAt;
        EXPECT_EQ(census.white, 0);
        EXPECT_LT(census.sphere, census.total / 10);
        EXPECT_GT(census.background, census.total / 2);
    }
    EXPECT_EQ(framesLookedAt, 20) << hack->standardError();
    EXPECT_TRUE(hack->running()) << hack->standardError();
}

}  // namespace
}  // namespace pelmora
