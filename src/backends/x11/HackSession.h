#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "BackBuffer.h"
#include "BandedCanvas.h"
#include "DisplayPower.h"
#include "FpsOverlay.h"
#include "FrameFaultHook.h"
#include "FrameGate.h"
#include "FramePacer.h"
#include "MonitorPowerWatch.h"
#include "NoSheetHost.h"
#include "PelmoraView.h"
#include "SettingsStore.h"
#include "Sight.h"
#include "SignalWatch.h"

namespace pelmora {

// One run of the hack on a window that exists: the view made with the
// window's size, its back buffer on the window's visual, and the frame loop.
// No frames are drawn, and the simulation waits, while nobody can see the
// window: unmapped, fully covered by other windows, or on a monitor that
// DPMS has powered off. The events for the first two must be selected on
// the window (StructureNotifyMask, VisibilityChangeMask); the root window
// is never unmapped or covered in this sense and gets neither.
class HackSession {
public:
    // `power` tells whether the monitor is on (null: it always is).
    HackSession(Display* display, Window window, const XWindowAttributes& attributes, SettingsStores& stores,
                const std::string& moduleName, bool showFps, std::unique_ptr<DisplayPower> power);

    // Paces frames `seconds` apart instead of at the view's interval.
    void setFrameInterval(double seconds);
    // The window's destruction or a signal is a normal end, said on standard
    // error only when verbose, as are the times the window goes out of sight
    // and comes back.
    void setVerbose(bool verbose);

    // Draws a frame whenever one is due until a signal arrives or the window
    // is destroyed; both end the run normally. Returns the exit status.
    int run(SignalWatch& signals);

    // Threads for the physics and, for frames drawn here, the drawing's
    // bands; 0 means one per core.
    void setThreads(std::int32_t threads);

private:
    struct Size {
        int width = 0;
        int height = 0;
        friend bool operator==(const Size&, const Size&) = default;
    };

    static Rect boundsOf(Size size);
    // "window 0x200002 at 1280,0": XScreenSaver runs a hack per monitor, each
    // in a window of its own at the monitor's place.
    static std::string windowName(Window window, const XWindowAttributes& attributes);
    // Reads every queued event; false once the window has been destroyed.
    bool readEvents();
    void readEvent(const XEvent& event);
    void waitForWork(int signalFd) const;
    void drawFrame(FramePacer::Clock::time_point now);

    Display* display_;
    Window window_;
    Size size_;
    BandedCanvas canvas_;
    NoSheetHost sheets_;
    PelmoraView view_;
    BackBuffer buffer_;
    FramePacer pacer_;
    std::optional<FpsOverlay> overlay_;
    std::string name_;
    FrameGate gate_;
    Sight sight_{gate_};
    std::unique_ptr<DisplayPower> power_;
    std::optional<MonitorPowerWatch> powerWatch_;
    std::uint64_t framesDrawn_ = 0;
    FrameFaultHook faultHook_;
    bool verbose_ = false;
};

}  // namespace pelmora
