#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmora {

// How much of a text a message quotes, in bytes as shown.
inline constexpr std::size_t kLongestQuote = 60;
// How much of a longer text (a library's reason, a line of ffmpeg's) a
// message passes on.
inline constexpr std::size_t kLongestPassedOn = 200;

// How much of a file name a message shows: more than of a value, since a
// user needs to see which file is meant.
inline constexpr std::size_t kLongestPath = 400;

// Any text from outside (a settings line, an argument, a file name, another
// program's words) as a message may show it: control characters escaped so
// that it stays one line, and cut once `longest` bytes of it are shown, with
// "..." so that a huge input gives a short message. Cuts never split a UTF-8
// sequence.
std::string excerpt(std::string_view text, std::size_t longest = kLongestPassedOn);

// A file name as a message shows it.
inline std::string pathForMessage(std::string_view path) { return excerpt(path, kLongestPath); }

// The same in double quotes, with quotes and backslashes escaped, cut after
// kLongestQuote bytes shown: "lots", "abc...".
std::string quoteForMessage(std::string_view text);

}  // namespace pelmora
