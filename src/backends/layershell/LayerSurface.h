#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>

#include "SaverInput.h"
#include "ScreenLayer.h"
#include "SettingsStore.h"
#include "ViewArea.h"

namespace pelmora {

// One view covering one output on a layer of the compositor's stack: above
// every window and panel as a saver, which takes the keyboard and ends on
// input, or below every window as a wallpaper, which takes no input at all.
class LayerSurface {
public:
    struct Options {
        ViewArea::Options view;
        ScreenLayer layer = ScreenLayer::Overlay;
        GdkMonitor* monitor = nullptr;
        // The overlay asks for the keyboard only when the compositor offers
        // it, instead of for all of it.
        bool keyboardOnDemand = false;
    };

    // `requestEnd` runs on saver input; `closed` when the compositor takes
    // the surface away (its output went), and the owner should drop it.
    LayerSurface(SettingsStores& stores, Options options, std::function<void()> requestEnd,
                 std::function<void(const LayerSurface*)> closed);
    ~LayerSurface();
    LayerSurface(const LayerSurface&) = delete;
    LayerSurface& operator=(const LayerSurface&) = delete;

    void show();
    GdkMonitor* monitor() const { return monitor_; }
    // Whether the compositor has given this surface the keyboard at any time.
    bool hadKeyboard() const { return hadKeyboard_; }
    // For a compositor that will not give the overlay the keyboard for good.
    void askKeyboardOnDemand();

private:
    static gboolean onDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
    static gboolean onFocusIn(GtkWidget* widget, GdkEvent* event, gpointer self);

    void placeOnLayer(ScreenLayer layer, bool keyboardOnDemand);

    GdkMonitor* monitor_;
    std::function<void(const LayerSurface*)> closed_;
    GtkWidget* window_;
    std::unique_ptr<ViewArea> area_;
    std::optional<SaverInput> input_;
    bool hadKeyboard_ = false;
};

}  // namespace pelmora
