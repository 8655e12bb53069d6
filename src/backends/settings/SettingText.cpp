#include "SettingText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace pelmora {
namespace {

std::string_view trimBlanks(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n\f\v";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// from_chars takes no leading '+', which people do write.
std::string_view dropPlusSign(std::string_view text) {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    return text;
}

// ASCII only: the C library's tolower would follow the user's locale.
char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The exponent of a decimal text, saturated far beyond any float's range so
// that a hundred-digit exponent cannot overflow.
std::int64_t saturatedExponent(std::string_view digits, bool negative) {
    constexpr std::int64_t kFar = 1000000000;
    std::int64_t value = 0;
    for (const char c : digits) {
        if (!isDigit(c)) {
            break;
        }
        value = value * 10 + (c - '0');
        if (value > kFar) {
            value = kFar;
            break;
        }
    }
    return negative ? -value : value;
}

// Whether a syntactically valid, non-zero decimal text ("[-]ddd[.ddd][e[+-]ddd]")
// is at least 1 in magnitude, worked out from its digits alone: the value
// lies in [10^(k-1+e), 10^(k+e)) where k is the place of its first non-zero
// digit and e its exponent. No floating-point read is involved, so neither
// the locale nor the range of double matters.
bool magnitudeAtLeastOne(std::string_view text) {
    if (!text.empty() && text.front() == '-') {
        text.remove_prefix(1);
    }
    const auto exponentMark = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, exponentMark);
    std::int64_t exponent = 0;
    if (exponentMark != std::string_view::npos) {
        std::string_view digits = text.substr(exponentMark + 1);
        const bool negative = !digits.empty() && digits.front() == '-';
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
            digits.remove_prefix(1);
        }
        exponent = saturatedExponent(digits, negative);
    }
    const auto point = mantissa.find('.');
    const std::string_view whole = mantissa.substr(0, point);
    const auto firstWhole = whole.find_first_not_of('0');
    std::int64_t place = 0;
    if (firstWhole != std::string_view::npos) {
        place = static_cast<std::int64_t>(whole.size() - firstWhole);
    } else if (point != std::string_view::npos) {
        const std::string_view fraction = mantissa.substr(point + 1);
        const auto firstFraction = fraction.find_first_not_of('0');
        place = firstFraction == std::string_view::npos ? 0 : -static_cast<std::int64_t>(firstFraction);
    }
    return place - 1 + exponent >= 0;
}

// from_chars reports a float underflow and overflow alike; only overflow makes
// the text something other than a float. The syntax is already known to be
// valid here.
std::optional<float> underflowedZero(std::string_view text) {
    if (magnitudeAtLeastOne(text)) {
        return std::nullopt;
    }
    return !text.empty() && text.front() == '-' ? -0.0f : 0.0f;
}

}  // namespace

std::optional<bool> parseBoolText(std::string_view text) {
    text = trimBlanks(text);
    if (equalsIgnoringCase(text, "YES") || equalsIgnoringCase(text, "true") || text == "1") {
        return true;
    }
    if (equalsIgnoringCase(text, "NO") || equalsIgnoringCase(text, "false") || text == "0") {
        return false;
    }
    return std::nullopt;
}

std::optional<std::int64_t> parseIntegerText(std::string_view text) {
    text = dropPlusSign(trimBlanks(text));
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<float> parseFloatText(std::string_view text) {
    text = dropPlusSign(trimBlanks(text));
    float value = 0.0f;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (text.empty() || ptr != end) {
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range) {
        return underflowedZero(text);
    }
    if (ec != std::errc{} || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

bool parsesAs(SettingType type, std::string_view text) {
    switch (type) {
    case SettingType::Boolean:
        return parseBoolText(text).has_value();
    case SettingType::Float:
        return parseFloatText(text).has_value();
    case SettingType::Integer:
        return parseIntegerText(text).has_value();
    }
    return false;
}

std::string formatBoolText(bool value) { return value ? "YES" : "NO"; }

std::string formatIntegerText(std::int64_t value) {
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string formatFloatText(float value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    std::string text(buffer.data(), result.ptr);
    // "400" reads back the same as "400.0", but a person editing the file
    // should still see that the value is a float.
    if (text.find_first_not_of("-0123456789") == std::string::npos) {
        text += ".0";
    }
    return text;
}

bool registeredBool(const Setting& setting) { return parseBoolText(setting.defaultText).value_or(false); }

float registeredFloat(const Setting& setting) { return parseFloatText(setting.defaultText).value_or(0.0F); }

std::int32_t registeredInteger(const Setting& setting) {
    return static_cast<std::int32_t>(parseIntegerText(setting.defaultText).value_or(0));
}

const char* describeSettingType(SettingType type) {
    switch (type) {
    case SettingType::Boolean:
        return "YES or NO";
    case SettingType::Float:
        return "a number (such as 2.5)";
    case SettingType::Integer:
        return "a whole number";
    }
    return "a value";
}

std::string badValueMessage(std::string_view where, std::string_view key, std::string_view saved, SettingType type,
                            std::string_view fallback) {
    return std::string(where) + ": " + std::string(key) + " = " + quoteForMessage(saved) + " is not " +
           describeSettingType(type) + "; using " +
           (fallback.empty() ? std::string("the built-in default") : "its default " + quoteForMessage(fallback));
}

}  // namespace pelmora
