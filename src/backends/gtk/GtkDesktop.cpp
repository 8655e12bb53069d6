#include "GtkDesktop.h"

namespace pelmora {

bool GtkDesktop::openDisplay() {
    // GTK reads only its own options here; the program's were parsed already.
    int argc = 0;
    char** argv = nullptr;
    return gtk_init_check(&argc, &argv) != 0;
}

GtkDesktop::GtkDesktop(SettingsStores& stores, Options options)
    : stores_(stores), options_(std::move(options)) {}

GtkDesktop::~GtkDesktop() { windows_.clear(); }

std::vector<std::unique_ptr<PelmoraWindow>> GtkDesktop::saverWindows(SettingsStores& stores,
                                                                    const ViewArea::Options& view,
                                                                    const std::function<void()>& requestClose) {
    std::vector<std::unique_ptr<PelmoraWindow>> windows;
    GdkDisplay* display = gdk_display_get_default();
    const int monitors = gdk_display_get_n_monitors(display);
    for (int index = 0; index < monitors; ++index) {
        PelmoraWindow::Options window{view, true, gdk_display_get_monitor(display, index), index};
        windows.push_back(std::make_unique<PelmoraWindow>(stores, window, requestClose));
    }
    if (windows.empty()) {
        // A display that reports no monitor still has a screen to cover.
        windows.push_back(
            std::make_unique<PelmoraWindow>(stores, PelmoraWindow::Options{view, true, nullptr, 0}, requestClose));
    }
    return windows;
}

void GtkDesktop::createWindows() {
    const ViewArea::Options view{options_.moduleName, options_.preview, options_.fps, options_.frameInterval,
                                 options_.threads, options_.verbose, nullptr, [this] { loop_.fail(); },
                                 options_.onBattery, options_.battery};
    // Ending any window ends them all: one input ends a screen saver
    // everywhere, and the desktop window is the only one.
    auto requestClose = [this] { loop_.end(); };
    if (!options_.fullscreen) {
        windows_.push_back(std::make_unique<PelmoraWindow>(stores_, PelmoraWindow::Options{view}, requestClose));
        return;
    }
    windows_ = saverWindows(stores_, view, requestClose);
}

int GtkDesktop::run() {
    createWindows();
    for (auto& window : windows_) {
        window->show();
    }
    const int status = loop_.run();
    windows_.clear();
    return status;
}

}  // namespace pelmora
