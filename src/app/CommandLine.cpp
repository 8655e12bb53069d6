#include "CommandLine.h"

#include <charconv>
#include <functional>
#include <map>
#include <set>

#include "ArgumentDomainStores.h"
#include "IdleMode.h"
#include "KeyFileStores.h"
#include "LayerMode.h"
#include "PelmoraView.h"
#include "RecordCommand.h"
#include "SettingText.h"
#include "SettingsHelp.h"
#include "SettingsSchema.h"
#include "WindowId.h"

namespace pelmora {

namespace {

constexpr std::int32_t kLargestSide = 16384;
constexpr std::int32_t kLargestFrameCount = 100000000;
constexpr std::int32_t kLargestRate = 1000;
constexpr std::int64_t kLongestDelay = 10000000;

// Options every XScreenSaver hack is handed or taught to take that mean
// nothing here: the window, visual and colormap are the caller's or GTK's.
bool isIgnoredHackFlag(const std::string& name) {
    return name == "window" || name == "install" || name == "noinstall" || name == "mono" || name == "pair" ||
           name == "sync";
}
bool isIgnoredHackValue(const std::string& name) { return name == "visual" || name == "geometry"; }
constexpr std::int32_t kMostThreads = 256;

// Which options each mode accepts; checked after the whole line is read so
// that the message can name the mode.
const std::map<ProgramMode, std::set<std::string>>& optionsByMode() {
    static const std::map<ProgramMode, std::set<std::string>> table = {
        {ProgramMode::Window, {"fullscreen", "preview", "fps", "no-fps", "module-name", "threads", "delay", "seed",
                               "on-battery", "verbose", "display", "window", "install", "noinstall", "mono", "pair",
                               "sync", "visual", "geometry"}},
        {ProgramMode::Hack, {"root", "window-id", "fps", "no-fps", "module-name", "threads", "delay", "seed", "display",
                             "verbose", "window", "install", "noinstall", "mono", "pair", "sync", "visual", "geometry"}},
        {ProgramMode::Layer,
         {"layer", "fps", "no-fps", "module-name", "threads", "delay", "seed", "on-battery", "verbose"}},
        {ProgramMode::Idle,
         {"idle", "fps", "no-fps", "module-name", "threads", "delay", "seed", "on-battery", "verbose", "display"}},
        {ProgramMode::Trace, {"frames", "size", "seed", "draw", "module-name", "threads"}},
        {ProgramMode::Record, {"frames", "size", "seed", "output", "module-name", "threads", "rate", "force"}},
    };
    return table;
}

const char* modeName(ProgramMode mode) {
    switch (mode) {
        case ProgramMode::Window: return "the window";
        case ProgramMode::Hack: return "--root";
        case ProgramMode::Layer: return "--layer";
        case ProgramMode::Idle: return "--idle";
        case ProgramMode::Trace: return "trace";
        case ProgramMode::Record: return "record";
        case ProgramMode::Help: return "--help";
        case ProgramMode::Version: return "--version";
    }
    return "";
}

bool takesValue(const std::string& name) {
    return name == "module-name" || name == "window-id" || name == "layer" || name == "frames" || name == "size" ||
           name == "seed" || name == "output" || name == "rate" || name == "delay" || name == "display" ||
           name == "threads" || name == "on-battery" || isIgnoredHackValue(name);
}

template <typename Integer>
std::optional<Integer> wholeNumber(const std::string& text, int base = 10) {
    Integer value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    CommandLine::Result run(const std::optional<std::string>& xscreensaverWindow) {
        std::size_t next = 0;
        if (!args_.empty() && (args_[0] == "trace" || args_[0] == "record")) {
            result_.options.mode = args_[0] == "trace" ? ProgramMode::Trace : ProgramMode::Record;
            next = 1;
        }
        while (next < args_.size() && result_.error.empty()) {
            next = readArgument(next);
        }
        if (result_.error.empty()) {
            settleMode(xscreensaverWindow);
        }
        if (result_.error.empty()) {
            checkModeOptions();
        }
        if (result_.error.empty()) {
            applyDefaults();
        }
        if (result_.error.empty()) {
            result_.error = ArgumentDomainStores::validate(result_.options.domain);
        }
        if (result_.error.empty() && result_.options.mode == ProgramMode::Record) {
            result_.error = checkRecordOptions(result_.options);
        }
        return result_;
    }

private:
    std::size_t readArgument(std::size_t index) {
        const std::string& arg = args_[index];
        if (arg.size() < 2 || arg[0] != '-') {
            fail("unexpected argument " + quoteForMessage(arg));
            return index + 1;
        }
        std::string name = arg.substr(arg[1] == '-' ? 2 : 1);
        std::optional<std::string> inlineValue;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name.resize(equals);
        }
        if (findSetting(name) != nullptr || takesValue(name)) {
            if (!inlineValue && index + 1 >= args_.size()) {
                fail("option " + quoteForMessage(arg) + " needs a value");
                return index + 1;
            }
            const std::string value = inlineValue ? *inlineValue : args_[index + 1];
            takeValued(name, value);
            return inlineValue ? index + 1 : index + 2;
        }
        if (name == "idle") {
            return takeIdle(index, inlineValue);
        }
        if (inlineValue) {
            fail("option " + quoteForMessage(arg) + " takes no value");
            return index + 1;
        }
        takeFlag(name, arg);
        return index + 1;
    }

    void takeFlag(const std::string& name, const std::string& arg) {
        ProgramOptions& o = result_.options;
        if (name == "help" || name == "h") {
            o.helpFor = o.mode == ProgramMode::Help ? o.helpFor : o.mode;
            o.mode = ProgramMode::Help;
        } else if (name == "version") {
            o.mode = ProgramMode::Version;
        } else if (name == "fullscreen") {
            o.fullscreen = true;
        } else if (name == "preview") {
            o.preview = true;
        } else if (name == "fps") {
            o.fps = true;
        } else if (name == "no-fps") {
            o.fps = false;
        } else if (name == "root") {
            o.root = true;
        } else if (name == "draw") {
            o.draw = true;
        } else if (name == "force") {
            o.force = true;
        } else if (name == "verbose") {
            o.verbose = true;
        } else if (isIgnoredHackFlag(name)) {
            // accepted for the callers' sake; see isIgnoredHackFlag
        } else {
            fail("unknown option " + quoteForMessage(arg));
            return;
        }
        given_.insert(name);
    }

    void takeValued(const std::string& name, const std::string& value) {
        ProgramOptions& o = result_.options;
        if (findSetting(name) != nullptr) {
            o.domain.emplace_back(name, value);
            return;
        }
        given_.insert(name);
        if (name == "module-name") {
            std::string why;
            if (!KeyFileStores::validModuleName(value, &why)) {
                fail("--module-name " + quoteForMessage(value) + ": " + why);
            }
            o.moduleName = value;
        } else if (name == "window-id") {
            const std::optional<std::uint32_t> id = parseWindowId(value);
            if (!id) {
                fail("--window-id " + quoteForMessage(value) + " is not a window id (hex 0x... or decimal)");
            } else {
                o.windowId = *id;
            }
        } else if (name == "layer") {
            o.layer = LayerMode::parseLayer(value);
            if (!o.layer) {
                fail("--layer " + quoteForMessage(value) + " is not a layer: overlay or background");
            }
        } else if (name == "frames") {
            const auto frames = wholeNumber<std::int32_t>(value);
            if (!frames || *frames < 0 || *frames > kLargestFrameCount) {
                fail("--frames " + quoteForMessage(value) + " is not a frame count from 0 to 100000000");
            }
            o.frames = frames.value_or(0);
        } else if (name == "size") {
            takeSize(value);
        } else if (name == "threads") {
            const auto threads = wholeNumber<std::int32_t>(value);
            if (!threads || *threads < 1 || *threads > kMostThreads) {
                fail("--threads " + quoteForMessage(value) + " is not a thread count from 1 to 256");
            }
            o.threads = threads.value_or(0);
        } else if (name == "seed") {
            const auto seed = wholeNumber<unsigned>(value);
            if (!seed) {
                fail("--seed " + quoteForMessage(value) + " is not a whole number from 0 to 4294967295");
            }
            o.seed = seed;
        } else if (name == "output") {
            if (value.empty()) {
                fail("--output needs a path");
            }
            o.output = value;
        } else if (name == "rate") {
            const auto rate = wholeNumber<std::int32_t>(value);
            if (!rate || *rate < 1 || *rate > kLargestRate) {
                fail("--rate " + quoteForMessage(value) + " is not a whole number of frames per second from 1 to 1000");
            }
            o.rate = rate.value_or(0);
        } else if (name == "delay") {
            const auto delay = wholeNumber<std::int64_t>(value);
            if (!delay || *delay < 0 || *delay > kLongestDelay) {
                fail("--delay " + quoteForMessage(value) + " is not a number of microseconds from 0 to 10000000");
            }
            o.delayMicroseconds = delay;
        } else if (name == "on-battery") {
            if (!FrameGate::parsePolicy(value, o.onBattery)) {
                fail("--on-battery " + quoteForMessage(value) + " is not run, slow or pause");
            }
        } else if (name == "display") {
            if (value.empty()) {
                fail("--display needs a display name, such as :0");
            }
            o.display = value;
        }
    }

    // --idle's seconds are optional: the next argument is taken only when it
    // is not an option itself.
    std::size_t takeIdle(std::size_t index, const std::optional<std::string>& inlineValue) {
        given_.insert("idle");
        const bool nextIsValue = index + 1 < args_.size() && (args_[index + 1].empty() || args_[index + 1][0] != '-');
        if (!inlineValue && !nextIsValue) {
            result_.options.idleSeconds = IdleMode::kDefaultSeconds;
            return index + 1;
        }
        const std::string& value = inlineValue ? *inlineValue : args_[index + 1];
        const auto seconds = wholeNumber<int>(value);
        if (!seconds || *seconds < 1 || *seconds > IdleMode::kLongestSeconds) {
            fail("--idle " + quoteForMessage(value) + " is not a number of seconds from 1 to 86400");
        }
        result_.options.idleSeconds = seconds.value_or(0);
        return inlineValue ? index + 1 : index + 2;
    }

    void takeSize(const std::string& value) {
        const auto cross = value.find('x');
        const auto width = cross == std::string::npos ? std::nullopt : wholeNumber<std::int32_t>(value.substr(0, cross));
        const auto height =
            cross == std::string::npos ? std::nullopt : wholeNumber<std::int32_t>(value.substr(cross + 1));
        if (!width || !height) {
            fail("--size " + quoteForMessage(value) + " is not WIDTHxHEIGHT, such as 800x600");
        } else if (*width < 1 || *height < 1 || *width > kLargestSide || *height > kLargestSide) {
            fail("--size " + quoteForMessage(value) + ": each side must be from 1 to 16384 pixels");
        } else {
            result_.options.width = *width;
            result_.options.height = *height;
        }
    }

    void settleMode(const std::optional<std::string>& xscreensaverWindow) {
        ProgramOptions& o = result_.options;
        if (o.mode != ProgramMode::Window) {
            return;
        }
        const bool windowOptions = o.fullscreen || o.preview;
        if (given_.count("idle") != 0) {
            o.mode = ProgramMode::Idle;
        } else if (o.layer) {
            o.mode = ProgramMode::Layer;
        } else if (o.root || o.windowId) {
            o.mode = ProgramMode::Hack;
            // XScreenSaver's conventions: its preview names the window.
            o.settingsFromCommandLine = true;
        } else if (xscreensaverWindow && !windowOptions) {
            o.mode = ProgramMode::Hack;
            o.root = true;
        }
    }

    void checkModeOptions() {
        const ProgramMode mode = result_.options.mode;
        const auto allowed = optionsByMode().find(mode);
        if (allowed == optionsByMode().end()) {
            return;
        }
        for (const std::string& name : given_) {
            if (allowed->second.count(name) == 0) {
                fail("option --" + name + " does not apply to " + modeName(mode));
                return;
            }
        }
    }

    void applyDefaults() {
        ProgramOptions& o = result_.options;
        const bool recording = o.mode == ProgramMode::Record;
        if (given_.count("frames") == 0) {
            o.frames = recording ? 600 : 10;
        }
        if (given_.count("size") == 0) {
            o.width = recording ? 1280 : 800;
            o.height = recording ? 720 : 600;
        }
        if (recording && o.output.empty()) {
            o.output = "pelmora-frames";
        }
    }

    void fail(std::string message) {
        if (result_.error.empty()) {
            result_.error = std::move(message);
        }
    }

    const std::vector<std::string>& args_;
    CommandLine::Result result_;
    std::set<std::string> given_;
};

}  // namespace

CommandLine::Result CommandLine::parse(const std::vector<std::string>& args,
                                       const std::optional<std::string>& xscreensaverWindow) {
    return Parser(args).run(xscreensaverWindow);
}

std::string CommandLine::helpText() {
    std::string text =
        "Usage:\n"
        "  pelmora [--fullscreen] [--preview] [--fps] [OPTIONS]   run in a window\n"
        "  pelmora --root | --window-id ID [--fps] [OPTIONS]      run as an XScreenSaver or xsecurelock hack\n"
        "  pelmora --layer overlay|background [--fps] [OPTIONS]   run as a Wayland saver or wallpaper\n"
        "  pelmora --idle [SECONDS] [--fps] [OPTIONS]             be the desktop's screen saver\n"
        "  pelmora trace [--frames N] [--size WxH] [--seed S] [--draw] [OPTIONS]\n"
        "  pelmora record [--frames N] [--size WxH] [--seed S] [--output PATH] [OPTIONS]\n"
        "  pelmora --help | --version\n"
        "\n"
        "Window, hack, layer and idle:\n"
        "  --fps              show frames per second and load over the picture, and every 5 s\n"
        "                     on standard error, naming the monitor of each line\n"
        "  --delay USEC       microseconds between frames, 0 to 10000000 (default 1/60 s)\n"
        "  --seed S           seed the generator with S, for the same start again\n"
        "                     (default: from the clock, a new layout each start)\n"
        "  --on-battery P     while on battery power: run as usual, slow to half the frame\n"
        "                     rate (the default) or pause, the last frame staying (not --root)\n"
        "  --verbose          name the seed and each view's size, and report a normal end\n"
        "  --no-fps           no frame rate read-out (the default)\n"
        "Window:\n"
        "  --fullscreen       one full-screen window per monitor; any key, click or mouse move ends it\n"
        "  --preview          create the view as a preview\n"
        "  --display DPY      the X display to use instead of $DISPLAY\n"
        "  keys: o options, F11 full screen, Escape leaves full screen, else quits,\n"
        "        q or Ctrl+Q quits, F1 or ? lists the keys\n"
        "Hack (also takes --display):\n"
        "  --root             draw into $XSCREENSAVER_WINDOW, else the root window\n"
        "  --window-id ID     draw into window ID (hex 0x... or decimal); wins over --root\n"
        "                     with either, the settings are the defaults and the -KEY VALUE\n"
        "                     pairs only (not under xsecurelock, which keeps the file)\n"
        "  -window, -visual X, -install, -noinstall, -mono, -pair, -sync and\n"
        "  -geometry G are taken and ignored\n"
        + LayerMode::helpText() + IdleMode::helpText() +
        "trace (JSON Lines of every sphere after each frame, on standard output):\n"
        "  --frames N         frames to run (default 10)\n"
        "  --size WxH         bounds of the view (default 800x600)\n"
        "  --seed S           seed the generator with S (default: its starting state)\n"
        "  --draw             add every drawing operation of each frame\n"
        "record (frames rendered without a display):\n"
        "  --frames N         frames to render (default 600)\n"
        "  --size WxH         picture size (default 1280x720)\n"
        "  --seed S           seed the generator with S (default: from the clock)\n"
        "  --output PATH      a folder for numbered PNG files (default pelmora-frames),\n"
        "                     or a .mp4, .webm or .gif file encoded with ffmpeg\n"
        "  --rate FPS, --force  see pelmora record --help\n"
        "Every mode:\n"
        "  --module-name NAME keep the settings under NAME (default pelmora)\n"
        "  --threads N        threads for the physics and drawing (default: one per core; 1: one)\n"
        "  -KEY VALUE         override a setting for this run only; nothing is saved\n"
        "\n"
        "Settings, in the order of the Options dialog, kept in\n"
        "$XDG_CONFIG_HOME/pelmora/NAME.conf (ranges are those the dialog offers):\n";
    text += SettingsHelp::text();
    text += "At most " + std::to_string(PelmoraView::kMostSpheres) +
            " spheres are made; a larger numberOfThings is capped with a message.\n";
    text += "Options take one or two dashes alike (-fps is --fps).\n";
    return text;
}

}  // namespace pelmora
