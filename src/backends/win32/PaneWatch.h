#pragma once

#include <windows.h>

#include <chrono>
#include <thread>

namespace pelmora {

// Watches the preview pane a saver draws into from a thread of its own and
// signals an event once the pane is no window any more. Its owner may die
// without destroying it; then the child window goes away without a
// WM_DESTROY, and under Wine even the window timers stop, so the saver's own
// thread cannot be relied on to notice. Worse, while Wine takes the dead
// owner's windows apart, a frame being drawn can take most of a second; so
// when the watch is still alive `grace` after the pane went (its owner did
// not get round to ending), it ends the process itself.
class PaneWatch {
public:
    static constexpr std::chrono::milliseconds kNoGrace{0};

    // A `grace` of kNoGrace only signals and never ends the process.
    explicit PaneWatch(HWND pane, std::chrono::milliseconds period = std::chrono::milliseconds(50),
                       std::chrono::milliseconds grace = kNoGrace);
    ~PaneWatch();
    PaneWatch(const PaneWatch&) = delete;
    PaneWatch& operator=(const PaneWatch&) = delete;

    // Manual-reset event, signalled for good once the pane is gone.
    HANDLE goneEvent() const { return gone_; }

private:
    void run();

    HWND pane_;
    DWORD periodMs_;
    DWORD graceMs_;
    HANDLE gone_;
    HANDLE stop_;
    std::thread thread_;
};

}  // namespace pelmora
