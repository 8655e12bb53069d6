#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <utility>
#include <vector>

#include "CommandLine.h"
#include "FramePacer.h"
#include "InteractiveOptions.h"
#include "SettingsSchema.h"

namespace pelmora {
namespace {

CommandLine::Result parse(std::vector<std::string> args, std::optional<std::string> window = std::nullopt) {
    return CommandLine::parse(args, window);
}

std::string errorOf(std::vector<std::string> args) { return parse(std::move(args)).error; }

TEST(CommandLine, ModesAndTheirDefaults) {
    const auto window = parse({});
    EXPECT_EQ(window.error, "");
    EXPECT_EQ(window.options.mode, ProgramMode::Window);
    EXPECT_EQ(window.options.moduleName, "pelmora");

    const auto trace = parse({"trace"});
    EXPECT_EQ(trace.options.mode, ProgramMode::Trace);
    EXPECT_EQ(trace.options.frames, 10);
    EXPECT_EQ(trace.options.width, 800);
    EXPECT_EQ(trace.options.height, 600);
    EXPECT_FALSE(trace.options.seed);

    const auto record = parse({"record"});
    EXPECT_EQ(record.options.mode, ProgramMode::Record);
    EXPECT_EQ(record.options.frames, 600);
    EXPECT_EQ(record.options.width, 1280);
    EXPECT_EQ(record.options.height, 720);
    EXPECT_EQ(record.options.output, "pelmora-frames");

    EXPECT_EQ(parse({"--help"}).options.mode, ProgramMode::Help);
    EXPECT_EQ(parse({"-h"}).options.mode, ProgramMode::Help);
    EXPECT_EQ(parse({"--version"}).options.mode, ProgramMode::Version);
}

TEST(CommandLine, OneOrTwoDashesAndInlineValues) {
    const auto hack = parse({"-root", "-fps", "-window-id", "0x1a00003"});
    EXPECT_EQ(hack.error, "");
    EXPECT_EQ(hack.options.mode, ProgramMode::Hack);
    EXPECT_TRUE(hack.options.fps);
    EXPECT_EQ(hack.options.windowId, 0x1a00003U);

    const auto trace = parse({"trace", "--frames=3", "-size", "21x21", "--seed", "4294967295", "--draw"});
    EXPECT_EQ(trace.error, "");
    EXPECT_EQ(trace.options.frames, 3);
    EXPECT_EQ(trace.options.width, 21);
    EXPECT_EQ(trace.options.seed, 4294967295U);
    EXPECT_TRUE(trace.options.draw);
}

TEST(CommandLine, SettingKeysFormTheArgumentDomain) {
    const auto result = parse({"-numberOfThings", "80", "--fillSpheres", "NO", "-sphereRadii=4.5"});
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.options.domain,
              (SettingsDefaults{{"numberOfThings", "80"}, {"fillSpheres", "NO"}, {"sphereRadii", "4.5"}}));
    EXPECT_NE(errorOf({"trace", "-numberOfThings", "7.9"}).find("numberOfThings"), std::string::npos);
    EXPECT_NE(errorOf({"trace", "-sphereRadii", "nan"}).find("nan"), std::string::npos);
    EXPECT_NE(errorOf({"trace", "-showLocalFields", "maybe"}).find("showLocalFields"), std::string::npos);
    EXPECT_NE(errorOf({"-chargeRange"}).find("needs a value"), std::string::npos);
}

TEST(CommandLine, HackModeFromTheLockersEnvironment) {
    const auto bare = parse({}, std::string("0x400007"));
    EXPECT_EQ(bare.options.mode, ProgramMode::Hack);
    EXPECT_TRUE(bare.options.root);
    // A window asked for explicitly stays a window.
    EXPECT_EQ(parse({"--fullscreen"}, std::string("0x400007")).options.mode, ProgramMode::Window);
    EXPECT_EQ(parse({"trace"}, std::string("0x400007")).options.mode, ProgramMode::Trace);
}

TEST(CommandLine, OnlyXScreenSaversWayOfStartingAHackTakesTheSettingsFromTheCommandLineAlone) {
    EXPECT_TRUE(parse({"--root"}).options.settingsFromCommandLine);
    EXPECT_TRUE(parse({"-root", "-labelsEnabled", "NO"}, std::string("0x400007")).options.settingsFromCommandLine);
    EXPECT_TRUE(parse({"--root", "--window-id", "0x400007"}).options.settingsFromCommandLine);
    EXPECT_TRUE(parse({"-window-id", "0x400007", "-labelsEnabled", "NO"}).options.settingsFromCommandLine);
    // A locker's bare start keeps the settings file.
    EXPECT_FALSE(parse({}, std::string("0x400007")).options.settingsFromCommandLine);
    EXPECT_FALSE(parse({"-numberOfThings", "80"}, std::string("0x400007")).options.settingsFromCommandLine);
    EXPECT_FALSE(parse({}).options.settingsFromCommandLine);
}

TEST(CommandLine, DelayBetweenFramesInMicroseconds) {
    EXPECT_FALSE(parse({}).options.delayMicroseconds);
    EXPECT_EQ(parse({"--delay", "20000"}).options.delayMicroseconds, 20000);
    EXPECT_EQ(parse({"-root", "-delay=0"}).options.delayMicroseconds, 0);
    EXPECT_EQ(parse({"--delay", "10000000"}).options.delayMicroseconds, 10000000);
    for (const char* bad : {"-1", "10000001", "1.5", "fast", ""}) {
        EXPECT_NE(errorOf({"--delay", bad}).find("--delay"), std::string::npos) << bad;
    }
    EXPECT_EQ(errorOf({"trace", "--delay", "100"}), "option --delay does not apply to trace");
}

TEST(CommandLine, WhatFramesDoOnBatteryInTheModesAUserWatches) {
    EXPECT_EQ(parse({}).options.onBattery, BatteryPolicy::Slow);
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{}, {"--fullscreen"}, {"--layer", "background"}, {"--idle", "60"}}) {
        std::vector<std::string> args = mode;
        args.insert(args.end(), {"--on-battery", "pause"});
        const auto parsed = parse(args);
        EXPECT_EQ(parsed.error, "") << args[0];
        EXPECT_EQ(parsed.options.onBattery, BatteryPolicy::Pause) << args[0];
    }
    EXPECT_EQ(parse({"-on-battery=run"}).options.onBattery, BatteryPolicy::Run);
    EXPECT_EQ(errorOf({"--on-battery", "fast"}), "--on-battery \"fast\" is not run, slow or pause");
    EXPECT_EQ(errorOf({"--on-battery"}), "option \"--on-battery\" needs a value");
    EXPECT_EQ(errorOf({"--root", "--on-battery", "slow"}), "option --on-battery does not apply to --root");
    EXPECT_EQ(errorOf({"record", "--on-battery", "slow"}), "option --on-battery does not apply to record");
    EXPECT_NE(CommandLine::helpText().find("  --on-battery P "), std::string::npos);
}

TEST(CommandLine, DelayBecomesThePacersInterval) {
    EXPECT_EQ(frameIntervalSeconds(16667), 0.016667);
    EXPECT_EQ(frameIntervalSeconds(10000000), 10.0);
    // 0 is as fast as frames can be made, not the pacer's fallback to 1/60 s.
    const FramePacer pacer(frameIntervalSeconds(0));
    EXPECT_GT(pacer.interval().count(), 0);
    EXPECT_LE(pacer.interval(), std::chrono::microseconds(1));
}

TEST(CommandLine, TheStandardHackOptionsAreTakenAndDisplayIsKept) {
    const auto hack = parse({"-root", "-window", "-install", "-mono", "-visual", "TrueColor", "-display", ":5",
                             "--verbose"});
    EXPECT_EQ(hack.error, "");
    EXPECT_EQ(hack.options.mode, ProgramMode::Hack);
    EXPECT_EQ(hack.options.display, ":5");
    EXPECT_TRUE(hack.options.verbose);
    EXPECT_EQ(parse({"--display=:7", "--visual=default"}).options.display, ":7");
    const auto more = parse({"-root", "-noinstall", "-pair", "-sync", "-geometry", "640x480+0+0", "-fps", "-no-fps"});
    EXPECT_EQ(more.error, "");
    EXPECT_FALSE(more.options.fps);
    EXPECT_EQ(parse({"-window"}).options.mode, ProgramMode::Window);
    EXPECT_FALSE(parse({}).options.verbose);
    EXPECT_NE(errorOf({"--display="}).find("--display"), std::string::npos);
    EXPECT_EQ(errorOf({"record", "-visual", "default"}), "option --visual does not apply to record");
    EXPECT_EQ(errorOf({"trace", "-mono"}), "option --mono does not apply to trace");
    EXPECT_EQ(errorOf({"trace", "--verbose"}), "option --verbose does not apply to trace");
}

TEST(CommandLine, EveryModeOnADisplayTakesASeedAndVerboseAndDelay) {
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{}, {"--fullscreen"}, {"--root"}, {"--layer", "overlay"}, {"--layer", "background"},
          {"--idle"}}) {
        std::vector<std::string> args = mode;
        args.insert(args.end(), {"--seed", "7", "--verbose", "--delay", "20000"});
        const auto parsed = parse(args);
        EXPECT_EQ(parsed.error, "") << args[0];
        EXPECT_EQ(parsed.options.seed, 7U);
        EXPECT_TRUE(parsed.options.verbose);
        EXPECT_EQ(parsed.options.delayMicroseconds, 20000);
    }
    EXPECT_FALSE(parse({}).options.seed);  // the clock's, chosen at the start
    // Where the help lists these, it says that all three modes take them.
    const std::string help = CommandLine::helpText();
    EXPECT_NE(help.find("Window, hack, layer and idle:\n  --fps"), std::string::npos);
    EXPECT_NE(help.find("  --delay USEC"), std::string::npos);
}

TEST(CommandLine, WindowIdsInHexAndDecimal) {
    EXPECT_EQ(parse({"--window-id", "27262979"}).options.windowId, 27262979U);
    EXPECT_NE(errorOf({"--window-id", "window"}).find("window id"), std::string::npos);
    EXPECT_NE(errorOf({"--window-id", "0"}).find("window id"), std::string::npos);
}

TEST(CommandLine, BadSizesAndCountsAreNamed) {
    for (const char* size : {"0x0", "0x100", "100x0", "16385x1", "-5x3", "99999999x1", "800", "800x", "x600", "8OOx600", "800x600x2"}) {
        const std::string error = errorOf({"record", "--size", size});
        EXPECT_NE(error.find("--size"), std::string::npos) << size;
        EXPECT_NE(error.find(size), std::string::npos) << size;
    }
    EXPECT_EQ(errorOf({"trace", "--size", "10x10"}), "");  // too small for a sphere, but it runs
    EXPECT_NE(errorOf({"trace", "--frames", "-1"}).find("--frames"), std::string::npos);
    EXPECT_NE(errorOf({"trace", "--frames", "ten"}).find("ten"), std::string::npos);
    EXPECT_NE(errorOf({"trace", "--seed", "-3"}).find("--seed"), std::string::npos);
    // A typed count that does not fit 32 bits would otherwise wrap to another one.
    EXPECT_NE(errorOf({"-numberOfThings", "4294967336"}).find("4294967336"), std::string::npos);
    EXPECT_NE(errorOf({"--root", "-chargeRange", "4294967298"}).find("-chargeRange"), std::string::npos);
}

TEST(CommandLine, ThreadsInEveryModeAndBadCountsNamed) {
    EXPECT_EQ(parse({}).options.threads, 0);  // one per core
    EXPECT_EQ(parse({"--threads", "1"}).options.threads, 1);
    EXPECT_EQ(parse({"--root", "--threads=2"}).options.threads, 2);
    EXPECT_EQ(parse({"trace", "-threads", "3"}).options.threads, 3);
    EXPECT_EQ(parse({"record", "--threads", "256"}).options.threads, 256);
    for (const char* count : {"0", "-2", "257", "two", "", "1.5"}) {
        const std::string error = errorOf({"trace", "--threads", count});
        EXPECT_NE(error.find("--threads"), std::string::npos) << count;
        EXPECT_NE(error.find("1 to 256"), std::string::npos) << count;
    }
}

TEST(CommandLine, UnknownAndMisplacedOptions) {
    EXPECT_EQ(errorOf({"--bogus"}), "unknown option \"--bogus\"");
    EXPECT_EQ(errorOf({"-numberofthings", "3"}), "unknown option \"-numberofthings\"");
    EXPECT_EQ(errorOf({"trace", "--fullscreen"}), "option --fullscreen does not apply to trace");
    EXPECT_EQ(errorOf({"record", "--draw"}), "option --draw does not apply to record");
    EXPECT_EQ(errorOf({"--frames", "3"}), "option --frames does not apply to the window");
    EXPECT_EQ(errorOf({"stray"}), "unexpected argument \"stray\"");
    EXPECT_EQ(errorOf({"--fps=yes"}), "option \"--fps=yes\" takes no value");
}

TEST(CommandLine, ModuleNamesThatCannotBeFileNamesAreRefused) {
    EXPECT_EQ(parse({"--module-name", "org.example.saver"}).options.moduleName, "org.example.saver");
    for (const char* name : {"", "../escape", "a/b", ".hidden"}) {
        EXPECT_NE(errorOf({"--module-name", name}).find("--module-name"), std::string::npos) << name;
    }
}

TEST(CommandLine, HelpNamesEveryModeOptionAndSetting) {
    const std::string help = CommandLine::helpText();
    for (const char* word : {"trace", "record", "--root", "--window-id", "--fullscreen", "--preview", "--fps",
                             "--frames", "--size", "--seed", "--draw", "--output", "--module-name", "--version",
                             "localFieldDisplay", "sphereRadii", "numberOfThings"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
    EXPECT_NE(help.find("At most 20000 spheres"), std::string::npos);
}

TEST(CommandLine, LayerModeTakesOverlayOrBackground) {
    const auto overlay = parse({"--layer", "overlay", "-fps", "-numberOfThings", "5"});
    EXPECT_EQ(overlay.error, "");
    EXPECT_EQ(overlay.options.mode, ProgramMode::Layer);
    EXPECT_EQ(overlay.options.layer, ScreenLayer::Overlay);
    EXPECT_TRUE(overlay.options.fps);
    EXPECT_EQ(parse({"--layer=background"}).options.layer, ScreenLayer::Background);
    EXPECT_TRUE(parse({"--layer", "background", "--verbose"}).options.verbose);
    // The compositor's wallpaper line must win over a locker's variable left in the environment.
    EXPECT_EQ(parse({"-layer", "background"}, std::string("0x400007")).options.mode, ProgramMode::Layer);

    EXPECT_EQ(errorOf({"--layer", "top"}), "--layer \"top\" is not a layer: overlay or background");
    EXPECT_EQ(errorOf({"--layer", "Overlay"}), "--layer \"Overlay\" is not a layer: overlay or background");
    EXPECT_EQ(errorOf({"--layer"}), "option \"--layer\" needs a value");
    EXPECT_EQ(errorOf({"--layer", "overlay", "--root"}), "option --root does not apply to --layer");
    EXPECT_EQ(errorOf({"--layer", "overlay", "--fullscreen"}), "option --fullscreen does not apply to --layer");
    EXPECT_EQ(errorOf({"trace", "--layer", "overlay"}), "option --layer does not apply to trace");
    EXPECT_NE(CommandLine::helpText().find("--layer background"), std::string::npos);
}

TEST(CommandLine, IdleModeTakesAnOptionalDelayInSeconds) {
    const auto plain = parse({"--idle", "-numberOfThings", "5", "--threads", "2"});
    EXPECT_EQ(plain.error, "");
    EXPECT_EQ(plain.options.mode, ProgramMode::Idle);
    EXPECT_EQ(plain.options.idleSeconds, 300);
    EXPECT_EQ(plain.options.domain.size(), 1U);
    EXPECT_EQ(plain.options.threads, 2);
    EXPECT_EQ(parse({"--idle", "60", "--fps"}).options.idleSeconds, 60);
    EXPECT_EQ(parse({"-idle=86400"}).options.idleSeconds, 86400);
    EXPECT_EQ(parse({"--fps", "--idle"}).options.idleSeconds, 300);
    // A locker's variable left in the environment does not make it a hack.
    EXPECT_EQ(parse({"--idle", "10"}, std::string("0x400007")).options.mode, ProgramMode::Idle);
    EXPECT_EQ(parse({"--idle", "--display", ":3"}).options.display, ":3");

    for (const char* bad : {"0", "86401", "5m", "", "9999999999"}) {
        EXPECT_EQ(errorOf({"--idle", bad}), "--idle \"" + std::string(bad) + "\" is not a number of seconds from 1 to 86400")
            << bad;
    }
    EXPECT_EQ(errorOf({"--idle", "10", "20"}), "unexpected argument \"20\"");
    EXPECT_EQ(errorOf({"--idle", "--fullscreen"}), "option --fullscreen does not apply to --idle");
    EXPECT_EQ(errorOf({"--idle", "--layer", "overlay"}), "option --layer does not apply to --idle");
    EXPECT_EQ(errorOf({"trace", "--idle"}), "option --idle does not apply to trace");
    EXPECT_NE(CommandLine::helpText().find("--idle [SECONDS]"), std::string::npos);
}

}  // namespace
}  // namespace pelmora
