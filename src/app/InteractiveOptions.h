#pragma once

#include <cstdint>
#include <string>

#include "ProgramOptions.h"

namespace pelmora {

// What the window and the hack share of their options.

// Makes `name` the display that Xlib and GTK open, as -display asks.
void useDisplay(const std::string& name);

// XScreenSaver's -delay, microseconds between frames, in seconds.
double frameIntervalSeconds(std::int64_t delayMicroseconds);

// Seeds the C library's generator before the first view is made: with
// --seed's value, else from the clock; --verbose names the seed.
void seedFirstView(const ProgramOptions& options);

}  // namespace pelmora
