#include "SaverArguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmora {
namespace {

SaverArguments::Result parse(std::vector<std::string> args) { return SaverArguments::parse(args); }

TEST(SaverArguments, NoArgumentShowsTheOptions) {
    const auto result = parse({});
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.options.mode, SaverMode::Configure);
    EXPECT_FALSE(result.options.window.has_value());
    EXPECT_EQ(result.options.moduleName, "pelmora");
}

TEST(SaverArguments, EveryFormWindowsUsesIsAccepted) {
    struct Case {
        std::vector<std::string> args;
        SaverMode mode;
        std::optional<std::uint64_t> window;
    };
    const Case cases[] = {
        {{"/s"}, SaverMode::FullScreen, std::nullopt},
        {{"/S"}, SaverMode::FullScreen, std::nullopt},
        {{"-s"}, SaverMode::FullScreen, std::nullopt},
        {{"/p", "1234"}, SaverMode::Preview, 1234},
        {{"/P:1234"}, SaverMode::Preview, 1234},
        {{"-p", "0x4d2"}, SaverMode::Preview, 1234},
        {{"/c"}, SaverMode::Configure, std::nullopt},
        {{"/c:5678"}, SaverMode::Configure, 5678},
        {{"-C", "5678"}, SaverMode::Configure, 5678},
        {{"/?"}, SaverMode::Help, std::nullopt},
        {{"--help"}, SaverMode::Help, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto result = parse(c.args);
        EXPECT_EQ(result.error, "") << c.args[0];
        EXPECT_EQ(result.options.mode, c.mode) << c.args[0];
        EXPECT_EQ(result.options.window, c.window) << c.args[0];
    }
}

TEST(SaverArguments, SettingsAndTheModuleNameComeAsEverywhereElse) {
    const auto result = parse({"/s", "-numberOfThings", "80", "-fillSpheres=NO", "--module-name", "test"});
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.options.mode, SaverMode::FullScreen);
    EXPECT_EQ(result.options.domain,
              (SettingsDefaults{{"numberOfThings", "80"}, {"fillSpheres", "NO"}}));
    EXPECT_EQ(result.options.moduleName, "test");
    // A dialog's settings may follow /c without being taken for its window.
    const auto configure = parse({"/c", "-sphereRadii", "4"});
    EXPECT_EQ(configure.error, "");
    EXPECT_FALSE(configure.options.window.has_value());
    EXPECT_EQ(configure.options.domain, (SettingsDefaults{{"sphereRadii", "4"}}));
}

TEST(SaverArguments, ASeedRepeatsAStartAndNoneLeavesItToTheClock) {
    EXPECT_FALSE(parse({"/s"}).options.seed.has_value());
    EXPECT_EQ(parse({"/s", "--seed", "4294967295"}).options.seed, 4294967295U);
    EXPECT_EQ(parse({"/p", "1234", "/seed:7"}).options.seed, 7U);
    for (const char* bad : {"", "-1", "4294967296", "7x", "seven"}) {
        EXPECT_EQ(parse({"/s", "--seed", bad}).error,
                  "--seed \"" + std::string(bad) + "\" is not a whole number from 0 to 4294967295")
            << bad;
    }
}

TEST(SaverArguments, WhatFramesDoOnBatteryIsAHostOption) {
    EXPECT_EQ(parse({"/s"}).options.onBattery, BatteryPolicy::Slow);
    EXPECT_EQ(parse({"/s", "--on-battery", "pause"}).options.onBattery, BatteryPolicy::Pause);
    EXPECT_EQ(parse({"/p", "1234", "/On-Battery:run"}).options.onBattery, BatteryPolicy::Run);
    EXPECT_EQ(parse({"/s", "--on-battery", "fast"}).error, "--on-battery \"fast\" is not run, slow or pause");
    EXPECT_NE(SaverArguments::helpText().find("--on-battery slow"), std::string::npos);
}

TEST(SaverArguments, BadArgumentsGetOneLineSayingWhatIsWrong) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"/p"}, "/p needs the handle of the preview window, such as /p 1234"},
        {{"/p", "pane"}, "\"pane\" is not a window handle (a number such as 1234 or 0x4d2)"},
        {{"/p:0"}, "\"0\" is not a window handle (a number such as 1234 or 0x4d2)"},
        {{"/p", "99999999999999999999999"},
         "\"99999999999999999999999\" is not a window handle (a number such as 1234 or 0x4d2)"},
        {{"/s:1"}, "option \"/s:1\" takes no value"},
        {{"/x"}, "unknown option \"/x\""},
        {{"s"}, "unexpected argument \"s\""},
        {{"/s", "/c"}, "more than one of /s, /p and /c given"},
        {{"/s", "-numberOfThings"}, "option \"-numberOfThings\" needs a value"},
        {{"/s", "-numberOfThings", "many"}, "-numberOfThings \"many\": not a whole number"},
        {{"--module-name", "a\\b"}, "--module-name \"a\\\\b\": invalid module name \"a\\\\b\": it contains a backslash"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse(c.args).error, c.error) << c.args[0];
    }
}

}  // namespace
}  // namespace pelmora
