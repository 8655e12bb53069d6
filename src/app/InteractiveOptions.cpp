#include "InteractiveOptions.h"

#include <stdlib.h>

namespace pelmora {

// Both Xlib and GDK fall back to $DISPLAY when given no name; setting it
// before either opens a connection reaches them and any helper they start.
void useDisplay(const std::string& name) { setenv("DISPLAY", name.c_str(), 1); }

double frameIntervalSeconds(std::int64_t delayMicroseconds) {
    return static_cast<double>(delayMicroseconds) / 1000000.0;
}

}  // namespace pelmora
