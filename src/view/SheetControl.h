#pragma once

#include <cstdint>

namespace pelmora {

// A control of the configuration sheet. Value controls answer the float and
// int pairs, toggles the state pair (1 on, 0 off, anything else mixed);
// a control answers every message, whatever its kind.
class SheetControl {
public:
    virtual ~SheetControl() = default;

    virtual float floatValue() const = 0;
    virtual void setFloatValue(float value) = 0;
    virtual std::int32_t intValue() const = 0;
    virtual void setIntValue(std::int32_t value) = 0;
    virtual std::int64_t state() const = 0;
    virtual void setState(std::int64_t state) = 0;
};

// The sheet's window. The host shows and hides it; the view only owns it.
class SheetWindow {
public:
    virtual ~SheetWindow() = default;
};

}  // namespace pelmora
