#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "MessageText.h"
#include "SettingsSchema.h"

namespace pelmora {

// The text forms of setting values, shared by the key-file store and the
// argument domain so that a value means the same wherever it is written.
// A text is of a type only when the whole of it parses (surrounding blanks
// aside): a half-read value would silently become something the user never
// wrote.

// YES/NO, true/false (any case) or 1/0.
std::optional<bool> parseBoolText(std::string_view text);
// A whole decimal number within 64 bits, with an optional sign.
std::optional<std::int64_t> parseIntegerText(std::string_view text);
// A finite decimal number that fits a 32-bit float; read straight to float
// (never through double, which could round twice). Values too small for a
// float read as zero of their sign; values too large are not floats.
std::optional<float> parseFloatText(std::string_view text);

bool parsesAs(SettingType type, std::string_view text);

std::string formatBoolText(bool value);
std::string formatIntegerText(std::int64_t value);
// The shortest decimal that reads back as the same float, bit for bit.
std::string formatFloatText(float value);

// A setting's registered default as the value its typed read gives.
bool registeredBool(const Setting& setting);
float registeredFloat(const Setting& setting);
std::int32_t registeredInteger(const Setting& setting);

// "YES or NO", "a whole number" and so on, in plain words for messages.
const char* describeSettingType(SettingType type);

// The one message every store gives for a saved value that is not of its
// setting's type: "<where>: <key> = "<saved>" is not <type>; using its
// default "<fallback>"".
std::string badValueMessage(std::string_view where, std::string_view key, std::string_view saved, SettingType type,
                            std::string_view fallback);

}  // namespace pelmora
