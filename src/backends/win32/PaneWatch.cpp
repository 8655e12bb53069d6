#include "PaneWatch.h"

namespace pelmora {

PaneWatch::PaneWatch(HWND pane, std::chrono::milliseconds period)
    : pane_(pane),
      periodMs_(static_cast<DWORD>(period.count() > 0 ? period.count() : 1)),
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
}

}  // namespace pelmora
