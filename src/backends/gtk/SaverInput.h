#pragma once

#include <gtk/gtk.h>

#include <functional>

#include "PointerTravel.h"

namespace pelmora {

// The input rules of a screen saver on one top-level window: any key, any
// click or a deliberate pointer move asks to end it, and the pointer is
// hidden over it. The full-screen window and the overlay surface share them.
class SaverInput {
public:
    SaverInput(GtkWidget* window, std::function<void()> requestEnd);
    ~SaverInput();
    SaverInput(const SaverInput&) = delete;
    SaverInput& operator=(const SaverInput&) = delete;

private:
    static gboolean onKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean onButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean onMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self);
    static void onRealize(GtkWidget* widget, gpointer self);

    GtkWidget* window_;
    std::function<void()> requestEnd_;
    PointerTravel travel_;
};

}  // namespace pelmora
