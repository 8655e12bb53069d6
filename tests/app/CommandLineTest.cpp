#include <gtest/gtest.h>

#include "CommandLine.h"

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

TEST(CommandLine, WindowIdsInHexAndDecimal) {
    EXPECT_EQ(parse({"--window-id", "27262979"}).options.windowId, 27262979U);
    EXPECT_NE(errorOf({"--window-id", "window"}).find("window id"), std::string::npos);
    EXPECT_NE(errorOf({"--window-id", "0"}).find("window id"), std::string::npos);
}

TEST(CommandLine, BadSizesAndCountsAreNamed) {
    for (const char* size : {"0x0", "-5x3", "99999999x1", "800", "800x", "x600", "8OOx600", "800x600x2"}) {
        const std::string error = errorOf({"record", "--size", size});
        EXPECT_NE(error.find("--size"), std::string::npos) << size;
        EXPECT_NE(error.find(size), std::string::npos) << size;
    }
    EXPECT_EQ(errorOf({"trace", "--size", "10x10"}), "");  // too small for a sphere, but it runs
    EXPECT_NE(errorOf({"trace", "--frames", "-1"}).find("--frames"), std::string::npos);
    EXPECT_NE(errorOf({"trace", "--frames", "ten"}).find("ten"), std::string::npos);
    EXPECT_NE(errorOf({"trace", "--seed", "-3"}).find("--seed"), std::string::npos);
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
}

}  // namespace
}  // namespace pelmora
