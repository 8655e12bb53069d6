#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ProgramOptions.h"

namespace pelmora {

// Turns the program's arguments into ProgramOptions, or into a one-line
// message saying what is wrong with them.
class CommandLine {
public:
    struct Result {
        ProgramOptions options;
        std::string error;  // empty when the arguments are good
    };

    // `args` excludes the program name. `xscreensaverWindow` is the value of
    // $XSCREENSAVER_WINDOW, which makes a bare `pelmora` a hack: a screen
    // locker may start its saver with no arguments at all.
    static Result parse(const std::vector<std::string>& args, const std::optional<std::string>& xscreensaverWindow);

    static std::string helpText();
};

}  // namespace pelmora
