#include "MessageText.h"

#include <array>
#include <cstdio>

namespace pelmora {

namespace {

bool isControl(unsigned char byte) { return byte < 0x20 || byte == 0x7f; }

bool isUtf8Continuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// Where to cut `text` so that at most `longest` bytes stay and no UTF-8
// sequence is split.
std::size_t cutAt(std::string_view text, std::size_t longest) {
    if (text.size() <= longest) {
        return text.size();
    }
    std::size_t cut = longest;
    while (cut > 0 && isUtf8Continuation(static_cast<unsigned char>(text[cut]))) {
        --cut;
    }
    return cut;
}

std::string escaped(std::string_view text, bool inQuotes) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
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

std::string excerpt(std::string_view text, std::size_t longest) {
    const std::size_t cut = cutAt(text, longest);
    return escaped(text.substr(0, cut), false) + (cut < text.size() ? "..." : "");
}

std::string quoteForMessage(std::string_view text) {
    const std::size_t cut = cutAt(text, kLongestQuote);
    return "\"" + escaped(text.substr(0, cut), true) + (cut < text.size() ? "..." : "") + "\"";
}

}  // namespace pelmora
