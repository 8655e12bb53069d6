#include "PaneWatch.h"

namespace pelmora {

namespace {

DWORD toMilliseconds(std::chrono::milliseconds time) {
    return static_cast<DWORD>(time.count() > 0 ? (time.count() < 0x7FFFFFFF ? time.count() : 0x7FFFFFFF) : 0);
}

}  // namespace

PaneWatch::PaneWatch(HWND pane, std::chrono::milliseconds period, std::chrono::milliseconds grace)
    : pane_(pane),
      periodMs_(toMilliseconds(period) > 0 ? toMilliseconds(period) : 1),
      graceMs_(toMilliseconds(grace)),
      gone_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      thread_([this] { run(); }) {}

PaneWatch::~PaneWatch() {
    SetEvent(stop_);
    thread_.join();
    CloseHandle(stop_);
    CloseHandle(gone_);
}

void PaneWatch::run() {
    while (IsWindow(pane_)) {
        if (WaitForSingleObject(stop_, periodMs_) != WAIT_TIMEOUT) {
            return;
        }
    }
    SetEvent(gone_);
    if (graceMs_ > 0 && WaitForSingleObject(stop_, graceMs_) == WAIT_TIMEOUT) {
        // A preview keeps nothing that could be lost, and the thread that
        // would end tidily is stuck in Wine's teardown: no DLL detach that
        // could wait on a lock it holds, just the end.
        TerminateProcess(GetCurrentProcess(), 0);
    }
}

}  // namespace pelmora
