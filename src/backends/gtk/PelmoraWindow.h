#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "SaverInput.h"
#include "SettingsStore.h"
#include "ViewArea.h"
#include "WindowSight.h"

namespace pelmora {

// One top-level window holding one view. As a desktop window it has a header
// bar with an Options button and takes the keys DesktopKeys describes. As a screen saver it covers one monitor,
// undecorated and without a cursor, and any key, click or deliberate mouse
// move asks to end it.
class PelmoraWindow {
public:
    struct Options {
        ViewArea::Options view;
        // Screen-saver style: full screen on `monitor`, ended by any input.
        bool saver = false;
        GdkMonitor* monitor = nullptr;
        int monitorIndex = 0;
    };

    PelmoraWindow(SettingsStores& stores, Options options, std::function<void()> requestClose);
    ~PelmoraWindow();
    PelmoraWindow(const PelmoraWindow&) = delete;
    PelmoraWindow& operator=(const PelmoraWindow&) = delete;

    void show();
    GtkWindow* window() const { return GTK_WINDOW(window_); }
    // Shows the view's options sheet, modal to this window; the animation goes on.
    void openOptions();

private:
    static gboolean onDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
    static gboolean onKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean onWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer self);
    static void onOptionsClicked(GtkButton* button, gpointer self);
    static void onInfoResponse(GtkInfoBar* bar, gint response, gpointer self);

    // A saver's view covers its monitor.
    static ViewArea::Options viewOptions(const Options& options);
    void buildDesktopChrome();
    void placeOnMonitor();
    bool handleDesktopKey(const GdkEventKey& event);
    void showKeys();
    void sheetEnded(std::optional<std::int64_t> returnCode);
    void showProblem(const std::string& text);

    Options options_;
    std::function<void()> requestClose_;
    GtkWidget* window_;
    GtkWidget* infoBar_ = nullptr;
    GtkWidget* infoLabel_ = nullptr;
    std::unique_ptr<ViewArea> area_;
    std::optional<WindowSight> sight_;
    std::optional<SaverInput> saverInput_;
    bool fullscreen_ = false;
    std::string lastSheetMessage_;
};

}  // namespace pelmora
