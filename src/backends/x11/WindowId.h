#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelmora {

// Reads a window ID the way screen lockers hand it over: XScreenSaver writes
// "0x1a00007" into $XSCREENSAVER_WINDOW, xsecurelock writes "27262983".
// Empty when the text is not a whole number in either form, is 0 (None) or
// lies outside the 32 bits of an X resource ID.
std::optional<std::uint32_t> parseWindowId(std::string_view text);

}  // namespace pelmora
