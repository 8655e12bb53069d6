#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "FrameGate.h"
#include "SaverWindow.h"

namespace pelmora {

// The saver's message loop: handles messages as they come and, between them,
// draws a frame of every window on the views' schedule (see FramePacer).
class FrameLoop {
public:
    // Runs until WM_QUIT (its exit code is returned) or until `stop`, when
    // not null, is signalled (0 is returned). A failure in a frame or in a
    // window's message handling ends the loop by its exception. `gate`, when
    // not null, says whether and how often frames are drawn; while it is
    // closed the loop only waits for messages and `stop`.
    static int run(const std::vector<std::unique_ptr<SaverWindow>>& windows, double intervalSeconds, HANDLE stop,
                   const FrameGate* gate = nullptr);

private:
    static int loop(const std::vector<std::unique_ptr<SaverWindow>>& windows, double intervalSeconds, HANDLE stop,
                    const FrameGate* gate);
};

}  // namespace pelmora
