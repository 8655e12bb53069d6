#include "InteractiveOptions.h"

#include <stdlib.h>

#include <cstdio>

#include "StartSeed.h"

namespace pelmora {

// Both Xlib and GDK fall back to $DISPLAY when given no name; setting it
// before either opens a connection reaches them and any helper they start.
void useDisplay(const std::string& name) { setenv("DISPLAY", name.c_str(), 1); }

// A delay of 0 asks for a frame as soon as the last one is done; the pacer
// reads an interval of 0 as "use the default", so the shortest it keeps
// stands in for it.
double frameIntervalSeconds(std::int64_t delayMicroseconds) {
    return static_cast<double>(delayMicroseconds > 0 ? delayMicroseconds : 1) / 1000000.0;
}

void seedFirstView(const ProgramOptions& options) {
    const unsigned seed = StartSeed::plant(options.seed);
    if (options.verbose) {
        // A layout worth seeing again is one --seed away.
        std::fprintf(stderr, "pelmora: seed %u\n", seed);
    }
}

}  // namespace pelmora
