#pragma once

#include <gdk/gdk.h>

namespace pelmora {

// What a key does in the desktop window, after GTK's conventions: Escape
// first leaves full screen and quits only a window that is not, Ctrl+Q
// quits, F1 or ? shows the keys.
class DesktopKeys {
public:
    enum class Action { None, Quit, LeaveFullscreen, ToggleFullscreen, OpenOptions, ShowKeys };

    static Action actionFor(guint keyval, GdkModifierType state, bool fullscreen);

    // The keys, one per line, for the window that lists them.
    static const char* description();
};

}  // namespace pelmora
