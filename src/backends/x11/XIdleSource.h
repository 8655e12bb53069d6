#pragma once

#include <glib.h>

#include <chrono>
#include <memory>

#include "IdleSource.h"

// Xlib's own declaration, so that users of the source need not take in
// Xlib's macros.
typedef struct _XDisplay Display;

namespace pelmora {

// The X server's own count of the time since the last input, which the
// MIT-SCREEN-SAVER extension reports. The server's screen saver timeout is
// left as the desktop set it, so its blanking stays the desktop's: instead
// of asking for the server's saver event, the source sleeps until the
// earliest moment the user could have been idle the whole delay and looks
// again. While the user works that is one look per delay, no more.
class XIdleSource : public IdleSource {
public:
    enum class Outcome { Ready, NoDisplay, NoExtension, DaemonRuns };

    // Connects to $DISPLAY; `outcome` says why nothing came back.
    static std::unique_ptr<XIdleSource> open(std::chrono::seconds delay, Outcome& outcome);
    ~XIdleSource() override;

    const char* name() const override;
    void start(Listener& listener) override;
    void waitAgain() override;
    bool stillIdle() override;

private:
    XIdleSource(Display* display, std::chrono::seconds delay);
    static gboolean onLook(gpointer self);
    // True when XScreenSaver's daemon has announced itself on a top-level window.
    static bool daemonRuns(Display* display);

    void lookIn(std::chrono::milliseconds wait);
    void look();

    Display* display_;
    std::chrono::seconds delay_;
    Listener* listener_ = nullptr;
    guint lookSource_ = 0;
};

}  // namespace pelmora
