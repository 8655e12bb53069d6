#pragma once

#include <gtk/gtk.h>

#include "SheetControl.h"

namespace pelmora {

// The sheet's window as loaded from its interface file. Whoever owns this
// object owns the GTK window: it is destroyed with it.
class GtkSheetWindow : public SheetWindow {
public:
    explicit GtkSheetWindow(GtkWindow* window);
    ~GtkSheetWindow() override;
    GtkSheetWindow(const GtkSheetWindow&) = delete;
    GtkSheetWindow& operator=(const GtkSheetWindow&) = delete;

    GtkWindow* window() const { return window_; }

private:
    GtkWindow* window_;
};

}  // namespace pelmora
