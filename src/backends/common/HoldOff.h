#pragma once

#include <functional>

namespace pelmora {

// Something of the desktop's that holds the saver off while it lasts: an
// application inhibiting idleness, the lock screen being up. It asks the
// desktop once and then follows its change signals, so it costs nothing
// between changes.
class HoldOff {
public:
    virtual ~HoldOff() = default;
    HoldOff(const HoldOff&) = delete;
    HoldOff& operator=(const HoldOff&) = delete;

    // What holds the saver off while this holds, for --verbose.
    virtual const char* reason() const = 0;
    // Reports whether it holds, from the event loop: once the desktop has
    // answered, and again on each change. A desktop that does not answer
    // never holds.
    virtual void start(std::function<void(bool holds)> changed) = 0;

protected:
    HoldOff() = default;
};

}  // namespace pelmora
