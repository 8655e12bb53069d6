#pragma once

#include <string>

#include "ProgramOptions.h"

namespace pelmora {

// `--idle [SECONDS]`: a resident screen saver for desktops that have none.
// It waits on the desktop's idle signal, shows the saver on every monitor
// once the user has been idle that long, and waits again when input ends it.
class IdleMode {
public:
    static constexpr int kDefaultSeconds = 300;
    static constexpr int kLongestSeconds = 86400;

    static std::string helpText();
    // Runs until SIGTERM, SIGINT or SIGHUP (status 0) or a failing frame (1);
    // 2 where a saver daemon already runs, 1 where no idle source is found.
    static int run(const ProgramOptions& options);
};

}  // namespace pelmora
