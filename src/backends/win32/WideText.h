#pragma once

#include <string>
#include <string_view>

namespace pelmora {

// UTF-8, which the view and the stores speak, to the UTF-16 of the Windows
// API and back. Invalid sequences become U+FFFD rather than failing: a
// message or a setting with one bad byte is still worth showing.
std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);

}  // namespace pelmora
