#include "MessageText.h"

#include <array>
#include <cstdio>

namespace pelmora {

namespace {

bool isControl(unsigned char byte) { return byte < 0x20 || byte == 0x7f; }

bool isUtf8Continuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// The text with control characters escaped (and, in quotes, quotes and
// backslashes), cut once `longest` bytes of it are made, never inside a
// UTF-8 sequence, with "..." where it was cut.
std::string shortened(std::string_view text, std::size_t longest, bool inQuotes) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        // A stray run of continuation bytes is no sequence to keep whole.
        if (out.size() >= longest && (!isUtf8Continuation(byte) || out.size() >= longest + 3)) {
            out += "...";
            break;
        }
        if (isControl(byte)) {
            std::array<char, 8> escape{};
            std::snprintf(escape.data(), escape.size(), "\\x%02x", static_cast<unsigned>(byte));
            out += escape.data();
        } else if (inQuotes && (c == '"' || c == '\\')) {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string excerpt(std::string_view text, std::size_t longest) { return shortened(text, longest, false); }

std::string quoteForMessage(std::string_view text) { return "\"" + shortened(text, kLongestQuote, true) + "\""; }

}  // namespace pelmora
