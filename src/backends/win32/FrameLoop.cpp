#include "FrameLoop.h"

#include <mmsystem.h>

#include <chrono>

#include "FramePacer.h"

namespace pelmora {
namespace {

// Milliseconds until `deadline`, at least 0; the wait below takes whole ms.
DWORD millisecondsUntil(FramePacer::Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - FramePacer::Clock::now()).count();
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

// Handles every waiting message; false once WM_QUIT came, with its code.
bool pumpMessages(int& exitCode) {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            exitCode = static_cast<int>(message.wParam);
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

}  // namespace

namespace {

// Waits are in whole milliseconds; the default 15.6 ms tick would turn 60
// frames a second into 32. The finer tick is given back however the loop ends.
class FineTimerTick {
public:
    FineTimerTick() { timeBeginPeriod(1); }
    ~FineTimerTick() { timeEndPeriod(1); }
    FineTimerTick(const FineTimerTick&) = delete;
    FineTimerTick& operator=(const FineTimerTick&) = delete;
};

}  // namespace

int FrameLoop::run(const std::vector<std::unique_ptr<SaverWindow>>& windows, double intervalSeconds, HANDLE stop,
                   const FrameGate* gate) {
    const FineTimerTick tick;
    const FrameGate alwaysOpen;
    return loop(windows, intervalSeconds, stop, gate != nullptr ? gate : &alwaysOpen);
}

int FrameLoop::loop(const std::vector<std::unique_ptr<SaverWindow>>& windows, double intervalSeconds, HANDLE stop,
                    const FrameGate* gate) {
    FramePacer pacer(intervalSeconds);
    const DWORD handleCount = stop != nullptr ? 1 : 0;
    int exitCode = 0;
    for (;;) {
        const bool quit = !pumpMessages(exitCode);
        for (const auto& window : windows) {
            window->rethrowFailure();
        }
        if (quit) {
            return exitCode;
        }
        // No new frame once told to stop: drawing into a window that is
        // going away can be slow.
        const bool stopping = stop != nullptr && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0;
        pacer.setIntervalMultiple(gate->intervalMultiple());
        const bool open = gate->open();
        // After a closed spell the pacer starts its schedule from now: the
        // views carry on from their last frame, without a burst to catch up.
        if (!stopping && open && pacer.takeFrameIfDue(FramePacer::Clock::now())) {
            for (const auto& window : windows) {
                window->drawFrame();
            }
        }
        // Closed, nothing is due: only a message (the one that opens the gate
        // among them) or `stop` wakes the loop.
        const DWORD timeout = open ? millisecondsUntil(pacer.nextDeadline()) : INFINITE;
        const DWORD woke = MsgWaitForMultipleObjectsEx(handleCount, &stop, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (handleCount == 1 && woke == WAIT_OBJECT_0) {
            return 0;
        }
    }
}

}  // namespace pelmora
