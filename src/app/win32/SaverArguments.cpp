#include "SaverArguments.h"

#include <charconv>

#include "ArgumentDomainStores.h"
#include "RegistryStores.h"
#include "SettingText.h"
#include "SettingsSchema.h"

namespace pelmora {
namespace {

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// A window handle as Windows writes it on a command line: decimal, or hex
// with 0x. Zero is no window.
std::optional<std::uint64_t> parseWindowHandle(const std::string& text) {
    std::string_view digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value, base);
    if (digits.empty() || ec != std::errc{} || ptr != end || value == 0) {
        return std::nullopt;
    }
    return value;
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    SaverArguments::Result run() {
        for (std::size_t next = 0; next < args_.size() && result_.error.empty();) {
            next = readArgument(next);
        }
        if (result_.error.empty()) {
            result_.error = ArgumentDomainStores::validate(result_.options.domain);
        }
        return result_;
    }

private:
    void fail(const std::string& message) {
        if (result_.error.empty()) {
            result_.error = message;
        }
    }

    std::size_t readArgument(std::size_t index) {
        const std::string& arg = args_[index];
        if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/')) {
            fail("unexpected argument " + quoteForMessage(arg));
            return index + 1;
        }
        std::string name = arg.substr(arg[0] == '-' && arg[1] == '-' ? 2 : 1);
        std::optional<std::string> attached;
        if (const auto mark = name.find_first_of(":="); mark != std::string::npos) {
            attached = name.substr(mark + 1);
            name.resize(mark);
        }
        if (findSetting(name) != nullptr || lowerAscii(name) == "module-name" || lowerAscii(name) == "seed" ||
            lowerAscii(name) == "on-battery") {
            return takeValued(index, name, attached);
        }
        return takeMode(index, lowerAscii(name), attached);
    }

    std::size_t takeValued(std::size_t index, const std::string& name, const std::optional<std::string>& attached) {
        if (!attached && index + 1 >= args_.size()) {
            fail("option " + quoteForMessage(args_[index]) + " needs a value");
            return index + 1;
        }
        const std::string value = attached ? *attached : args_[index + 1];
        if (findSetting(name) != nullptr) {
            result_.options.domain.emplace_back(name, value);
        } else if (lowerAscii(name) == "seed") {
            takeSeed(value);
        } else if (lowerAscii(name) == "on-battery") {
            if (!FrameGate::parsePolicy(value, result_.options.onBattery)) {
                fail("--on-battery " + quoteForMessage(value) + " is not run, slow or pause");
            }
        } else {
            std::string why;
            if (!RegistryStores::validModuleName(value, &why)) {
                fail("--module-name " + quoteForMessage(value) + ": " + why);
            }
            result_.options.moduleName = value;
        }
        return attached ? index + 1 : index + 2;
    }

    void takeSeed(const std::string& value) {
        unsigned seed = 0;
        const char* end = value.data() + value.size();
        const auto [stop, error] = std::from_chars(value.data(), end, seed);
        if (value.empty() || error != std::errc() || stop != end) {
            fail("--seed " + quoteForMessage(value) + " is not a whole number from 0 to 4294967295");
            return;
        }
        result_.options.seed = seed;
    }

    std::size_t takeMode(std::size_t index, const std::string& name, const std::optional<std::string>& attached) {
        SaverMode mode = SaverMode::Configure;
        if (name == "s") {
            mode = SaverMode::FullScreen;
        } else if (name == "p") {
            mode = SaverMode::Preview;
        } else if (name == "c") {
            mode = SaverMode::Configure;
        } else if (name == "?" || name == "h" || name == "help") {
            mode = SaverMode::Help;
        } else {
            fail("unknown option " + quoteForMessage(args_[index]));
            return index + 1;
        }
        if (modeGiven_ && mode != result_.options.mode) {
            fail("more than one of /s, /p and /c given");
            return index + 1;
        }
        modeGiven_ = true;
        result_.options.mode = mode;
        return takeWindow(index, mode, attached);
    }

    // /p needs its pane; /c may name the window that owns the dialog. The
    // handle is attached (/p:1234) or the next argument (/p 1234).
    std::size_t takeWindow(std::size_t index, SaverMode mode, const std::optional<std::string>& attached) {
        if (mode != SaverMode::Preview && mode != SaverMode::Configure) {
            if (attached) {
                fail("option " + quoteForMessage(args_[index]) + " takes no value");
            }
            return index + 1;
        }
        std::size_t next = index + 1;
        std::optional<std::string> text = attached;
        if (!text && next < args_.size() && (mode == SaverMode::Preview || parseWindowHandle(args_[next]))) {
            text = args_[next++];
        }
        if (!text) {
            if (mode == SaverMode::Preview) {
                fail("/p needs the handle of the preview window, such as /p 1234");
            }
            return next;
        }
        const auto handle = parseWindowHandle(*text);
        if (!handle) {
            fail(quoteForMessage(*text) + " is not a window handle (a number such as 1234 or 0x4d2)");
        }
        result_.options.window = handle;
        return next;
    }

    const std::vector<std::string>& args_;
    SaverArguments::Result result_;
    bool modeGiven_ = false;
};

}  // namespace

SaverArguments::Result SaverArguments::parse(const std::vector<std::string>& args) { return Parser(args).run(); }

// A message box wraps long lines where it likes, and a line break of ours
// after its own leaves a word or two alone mid-phrase: the list lines are
// short enough for any box, and each paragraph is one line for the box to
// wrap at its words.
std::string SaverArguments::helpText() {
    return "Pelmora: charged spheres and their fields, as a Windows screen saver.\n"
           "\n"
           "/s   full screen on every monitor\n"
           "/p HWND   inside the preview window HWND\n"
           "/c or /c:HWND   the options\n"
           "/?   this help\n"
           "\n"
           "With no argument at all, Pelmora shows its options. Options may start with / or - and are read in "
           "any case.\n"
           "\n"
           "-numberOfThings 80 and the other settings' names, each with a value, override the saved settings "
           "for this run.\n"
           "\n"
           "--seed N starts from the layout numbered N, the same each time (default: a new one each start).\n"
           "\n"
           "--on-battery slow halves the frame rate while the computer runs on battery (the default); pause "
           "keeps the last frame still, run changes nothing. While the display is off, no frames are drawn.\n"
           "\n"
           "--module-name NAME keeps the settings under HKEY_CURRENT_USER\\Software\\Pelmora\\NAME (default: "
           "pelmora).\n";
}

}  // namespace pelmora
