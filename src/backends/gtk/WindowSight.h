#pragma once

#include <gtk/gtk.h>

#include <string>

#include "Sight.h"
#include "ViewArea.h"

namespace pelmora {

// Whether anybody can see a window's view area on X, from what the X server
// and the window manager say: the area fully covered by other windows
// (VisibilityNotify, on the area's own native window, since the window
// around it may show while the area is covered), or the window minimised or
// on a hidden workspace (iconified or withdrawn: _NET_WM_STATE_HIDDEN, or
// unmapped by the window manager). Out of sight the area draws nothing;
// partly covered counts as seen. On Wayland the compositor's frame
// callbacks already say this, and nothing is watched here.
class WindowSight {
public:
    // Watches `window`, the top-level window holding `area`, from now on;
    // both must outlive this. `source` names the area in verbose lines.
    WindowSight(GtkWidget* window, ViewArea& area, bool verbose, std::string source);
    ~WindowSight();
    WindowSight(const WindowSight&) = delete;
    WindowSight& operator=(const WindowSight&) = delete;

private:
    static gboolean onVisibility(GtkWidget* widget, GdkEvent* event, gpointer self);
    static gboolean onWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer self);
    void set(Sight::Cause cause, bool hides);

    GtkWidget* window_;
    ViewArea& area_;
    Sight sight_;
    bool watching_ = false;
};

}  // namespace pelmora
