#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "Direct2DCanvas.h"
#include "NoSheetHost.h"
#include "PelmoraView.h"
#include "PowerWatch.h"
#include "SettingsStore.h"

namespace pelmora {

// One window that shows one view: either full screen on one monitor (cursor
// hidden; a key, a click or a pointer move of more than a few pixels ends
// the saver) or a child filling a preview pane (under Wine, for a pane of
// another process, a window kept over it; see drawsOverForeignPane). The view's size is the
// window's in device-independent units, so it looks the same at any DPI.
class SaverWindow {
public:
    enum class Kind { FullScreen, Preview };

    struct Setup {
        Kind kind = Kind::FullScreen;
        // Screen pixels of the monitor for full screen; ignored for a preview,
        // which fills its parent's client area.
        RECT placement{};
        HWND parent = nullptr;
        SettingsStores* stores = nullptr;
        std::string moduleName;
        // Called when the user asks the saver to end, or the window goes away.
        std::function<void()> onEnd;
        // Told of the power messages the window receives; null: none.
        PowerWatch* power = nullptr;
    };

    // Check window() afterwards: null when the window could not be made.
    SaverWindow(HINSTANCE module, Setup setup);
    ~SaverWindow();
    SaverWindow(const SaverWindow&) = delete;
    SaverWindow& operator=(const SaverWindow&) = delete;

    HWND window() const { return window_; }
    PelmoraView* view() const { return view_.get(); }

    // Why nothing can be drawn (Direct2D or DirectWrite missing); empty when
    // drawing works.
    const std::string& drawingFailure() const { return canvas_.failure(); }

    // Paints the next frame of the view into the window. What goes wrong
    // in it is thrown to the caller.
    void drawFrame();

    // An exception may not unwind through Windows' frames into the message
    // loop: the window procedure keeps what it caught, and the loop throws
    // it again here, on its own side of DispatchMessage.
    void rethrowFailure();

    // How far the pointer may move before it ends a full-screen saver.
    static constexpr LONG kPointerSlack = 4;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool endsOnInput(UINT message, LPARAM lParam);
    void end();
    void followPane();
    Rect viewFrame() const;
    float dpi() const;

    Setup setup_;
    HWND window_ = nullptr;
    Direct2DCanvas canvas_;
    NoSheetHost sheetHost_;
    std::unique_ptr<PelmoraView> view_;
    POINT pointerStart_{};
    bool ended_ = false;
    bool overPane_ = false;
    std::exception_ptr failure_;
};

}  // namespace pelmora
