#pragma once

#include <windows.h>

#include <chrono>
#include <thread>

namespace pelmora {

// Watches the preview pane a saver draws into from a thread of its own and
// signals an event once the pane is no window any more. Its owner may die
// without destroying it; then the child window goes away without a
// WM_DESTROY, and under Wine even the window timers stop, so the saver's own
// thread cannot be relied on to notice.
class PaneWatch {
public:
    explicit PaneWatch(HWND pane, std::chrono::milliseconds period = std::chrono::milliseconds(100));
    ~PaneWatch();
    PaneWatch(const PaneWatch&) = delete;
    PaneWatch& operator=(const PaneWatch&) = delete;

    // Manual-reset event, signalled for good once the pane is gone.
    HANDLE goneEvent() const { return gone_; }

private:
    void run();

    HWND pane_;
    DWORD periodMs_;
    HANDLE gone_;
    HANDLE stop_;
    std::thread thread_;
};

}  // namespace pelmora
