#pragma once

#include <cstdint>
#include <string>

namespace pelmora {

// What the window and the hack share of their options.

// Makes `name` the display that Xlib and GTK open, as -display asks.
void useDisplay(const std::string& name);

// XScreenSaver's -delay, microseconds between frames, in seconds.
double frameIntervalSeconds(std::int64_t delayMicroseconds);

}  // namespace pelmora
