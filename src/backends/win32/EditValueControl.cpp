#include "EditValueControl.h"

#include <cmath>
#include <limits>
#include <vector>

#include "SettingText.h"
#include "Truncation.h"
#include "WideText.h"

namespace pelmora {

EditValueControl::EditValueControl(HWND edit, bool wholeNumbers, double step)
    : edit_(edit), wholeNumbers_(wholeNumbers), step_(step) {}

std::string EditValueControl::text() const {
    const int length = GetWindowTextLengthW(edit_);
    if (length <= 0) {
        return {};
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int copied = GetWindowTextW(edit_, buffer.data(), length + 1);
    return narrow(std::wstring_view(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0)));
}

void EditValueControl::setText(const std::string& text) { SetWindowTextW(edit_, widen(text).c_str()); }

// The typed text as a number, in double: whole-number controls take whole
// decimals within 32 bits, the others floats.
std::optional<double> EditValueControl::typedValue() const {
    const std::string typed = text();
    if (wholeNumbers_) {
        const auto value = parseIntegerText(typed);
        if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
            *value > std::numeric_limits<std::int32_t>::max()) {
            return std::nullopt;
        }
        return static_cast<double>(*value);
    }
    const auto value = parseFloatText(typed);
    return value ? std::optional<double>(static_cast<double>(*value)) : std::nullopt;
}

std::optional<std::string> EditValueControl::problem() const {
    if (typedValue()) {
        return std::nullopt;
    }
    return quoteForMessage(text()) + " is not " +
           (wholeNumbers_ ? std::string("a whole number from -2147483648 to 2147483647")
                          : std::string("a number (such as 2.5)"));
}

float EditValueControl::floatValue() const {
    // Every value shown or typed came from a float or a 32-bit integer, so
    // the narrowing is exact for floats and rounds only large integers.
    return static_cast<float>(typedValue().value_or(shown_));
}

void EditValueControl::setFloatValue(float value) {
    shown_ = static_cast<double>(value);
    setText(formatFloatText(value));
}

std::int32_t EditValueControl::intValue() const { return truncateToInt32(typedValue().value_or(shown_)); }

void EditValueControl::setIntValue(std::int32_t value) {
    shown_ = static_cast<double>(value);
    setText(formatIntegerText(value));
}

std::int64_t EditValueControl::state() const { return intValue(); }

void EditValueControl::setState(std::int64_t state) {
    shown_ = static_cast<double>(state);
    setText(formatIntegerText(state));
}

bool EditValueControl::step(int clicks) {
    const auto current = typedValue();
    if (!current) {
        return false;
    }
    const double next = *current + step_ * static_cast<double>(clicks);
    if (wholeNumbers_) {
        constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
        constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
        setIntValue(truncateToInt32(std::fmin(std::fmax(next, kLowest), kHighest)));
        return true;
    }
    constexpr double kLargest = std::numeric_limits<float>::max();
    if (!(std::fabs(next) <= kLargest)) {
        return false;
    }
    setFloatValue(static_cast<float>(next));
    return true;
}

}  // namespace pelmora
