#include "SettingText.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>

namespace pelmora {
namespace {

TEST(SettingText, BooleansAcceptTheThreeSpellingsAndNothingElse) {
    for (const char* yes : {"YES", "yes", "true", "TRUE", "1", " YES\t"}) {
        EXPECT_EQ(parseBoolText(yes), true) << yes;
    }
    for (const char* no : {"NO", "no", "false", "False", "0"}) {
        EXPECT_EQ(parseBoolText(no), false) << no;
    }
    for (const char* other : {"", "Y", "2", "yes please", "on", "-1"}) {
        EXPECT_FALSE(parseBoolText(other).has_value()) << other;
    }
}

TEST(SettingText, IntegersMustBeWholeDecimalsWithin64Bits) {
    EXPECT_EQ(parseIntegerText("40"), 40);
    EXPECT_EQ(parseIntegerText("-2147483649"), INT64_C(-2147483649));
    EXPECT_EQ(parseIntegerText("+7"), 7);
    EXPECT_EQ(parseIntegerText("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    for (const char* bad : {"7.9", "abc", "", "1e3", "0x10", "12abc", "9223372036854775808", "+-1", "+"}) {
        EXPECT_FALSE(parseIntegerText(bad).has_value()) << bad;
    }
}

TEST(SettingText, FloatsMustBeFiniteAndWithinTheFloatRange) {
    EXPECT_EQ(parseFloatText("400.0"), 400.0f);
    EXPECT_EQ(parseFloatText("3.4e38"), 3.4e38f);
    EXPECT_EQ(parseFloatText("+2.5"), 2.5f);
    for (const char* bad : {"nan", "inf", "-inf", "infinity", "1e39", "abc", "", "1.5x", "0x1p3"}) {
        EXPECT_FALSE(parseFloatText(bad).has_value()) << bad;
    }
    // Too small for a float is still a number: it reads as zero of its sign.
    EXPECT_EQ(std::bit_cast<std::uint32_t>(*parseFloatText("-1e-50")), std::bit_cast<std::uint32_t>(-0.0f));
}

TEST(SettingText, FloatsBeyondTheRangeOfDoubleStillTellTinyFromHuge) {
    // Underflow and overflow are told apart by the digits, not by a wider
    // read, so values even a double cannot hold sort the same way.
    const auto bits = [](const char* text) { return std::bit_cast<std::uint32_t>(*parseFloatText(text)); };
    EXPECT_EQ(bits("1e-400"), std::bit_cast<std::uint32_t>(0.0f));
    EXPECT_EQ(bits("-0.00000000000000000000000000000000000000000000000001"), std::bit_cast<std::uint32_t>(-0.0f));
    EXPECT_EQ(bits("123456e-99999999999999999999999"), std::bit_cast<std::uint32_t>(0.0f));
    EXPECT_EQ(bits(".5e-50"), std::bit_cast<std::uint32_t>(0.0f));
    for (const char* huge : {"1e400", "-1e400", "0.001e99999999999999999999999", "1000000000000000000000000000000000000000"}) {
        EXPECT_FALSE(parseFloatText(huge).has_value()) << huge;
    }
}

TEST(SettingText, BadValueMessagesNameThePlaceTheKeyAndTheDefault) {
    EXPECT_EQ(badValueMessage("here", "numberOfThings", "lots", SettingType::Integer, "40"),
              "here: numberOfThings = \"lots\" is not a whole number; using its default \"40\"");
    EXPECT_EQ(badValueMessage("here", "x", "1\n", SettingType::Boolean, ""),
              "here: x = \"1\\x0a\" is not YES or NO; using the built-in default");
    EXPECT_EQ(badValueMessage("here", "sphereRadii", "big", SettingType::Float, "10.0"),
              "here: sphereRadii = \"big\" is not a number (such as 2.5); using its default \"10.0\"");
}

TEST(SettingText, FloatsParseStraightToFloatWithoutDoubleRounding) {
    // Halfway between two floats in float, but rounded up in double first it
    // would land on the halfway point and round to even the wrong way.
    // 1 + 2^-24 + 2^-60: nearest float is 1 + 2^-23 (above the halfway point).
    const auto value = parseFloatText("1.00000005960464477539930799734");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, 1.0f + 0x1p-23f);
}

TEST(SettingText, FloatTextsReadBackBitForBit) {
    const float samples[] = {0.0f,
                             -0.0f,
                             400.0f,
                             0.1f,
                             -123.456f,
                             3.4e38f,
                             std::numeric_limits<float>::max(),
                             std::numeric_limits<float>::min(),
                             std::numeric_limits<float>::denorm_min(),
                             -std::numeric_limits<float>::denorm_min() * 3.0f,
                             1.0f / 3.0f};
    for (const float sample : samples) {
        const std::string text = formatFloatText(sample);
        const auto back = parseFloatText(text);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(*back), std::bit_cast<std::uint32_t>(sample)) << text;
    }
    EXPECT_EQ(formatFloatText(400.0f), "400.0");
    EXPECT_EQ(formatFloatText(-0.0f), "-0.0");
}

TEST(SettingText, MessagesQuoteValuesOnOneLine) {
    EXPECT_EQ(quoteForMessage("abc"), "\"abc\"");
    EXPECT_EQ(quoteForMessage("a\nb\"c"), "\"a\\x0ab\\\"c\"");
    EXPECT_LT(quoteForMessage(std::string(1000, 'x')).size(), 100u);
}

// Whatever the input, an excerpt stays short: escapes count as shown, a
// cut never splits a character, and a run of stray continuation bytes is
// cut too.
TEST(SettingText, ExcerptsOfHugeOrHostileTextsStayShortAndWhole) {
    EXPECT_EQ(excerpt("short"), "short");
    EXPECT_EQ(excerpt(std::string(300, 'x'), 10), "xxxxxxxxxx...");
    EXPECT_EQ(excerpt(std::string(5000000, '\t')).size(), kLongestPassedOn + 3);
    EXPECT_EQ(quoteForMessage(std::string(1000, '\n')).size(), kLongestQuote + 5);
    EXPECT_LE(excerpt(std::string(100000, '\x80'), 10).size(), 16U);
    // "é" is two bytes; the cut comes after it, not inside it.
    EXPECT_EQ(excerpt("abcdefghi\xc3\xa9jk", 10), "abcdefghi\xc3\xa9...");
}

}  // namespace
}  // namespace pelmora
