#include "SaverWindow.h"

#include <windowsx.h>

#include <cstdlib>
#include <utility>

namespace pelmora {
namespace {

constexpr const wchar_t* kWindowClass = L"PelmoraSaverWindow";

void registerWindowClass(HINSTANCE module, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = module;
    // No cursor: the full-screen saver hides it, and a preview pane is not
    // for pointing at.
    windowClass.hCursor = nullptr;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    // A second registration fails harmlessly with the class already there.
    RegisterClassExW(&windowClass);
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

// Per-monitor DPI where Windows knows it (10 and later), else the system's.
UINT windowDpi(HWND window) {
    const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi > 0) {
            return dpi;
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96U;
}

// Under Wine, what a process draws into a child window of another
// process's window never reaches the screen (plain GDI no more than
// Direct2D), so a preview pane of another program would stay blank. There
// the preview is a borderless window owned by the pane's top-level window,
// kept over the pane's client area; Windows itself gets the child window.
bool drawsOverForeignPane(HWND pane) {
    DWORD paneProcess = 0;
    GetWindowThreadProcessId(pane, &paneProcess);
    const bool underWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return underWine && paneProcess != GetCurrentProcessId();
}

// The pane's client area in screen coordinates.
RECT screenArea(HWND pane) {
    RECT area{};
    GetClientRect(pane, &area);
    MapWindowPoints(pane, nullptr, reinterpret_cast<POINT*>(&area), 2);
    return area;
}

}  // namespace

SaverWindow::SaverWindow(HINSTANCE module, Setup setup) : setup_(std::move(setup)) {
    registerWindowClass(module, &SaverWindow::procedure);
    GetCursorPos(&pointerStart_);
    if (setup_.kind == Kind::Preview && drawsOverForeignPane(setup_.parent)) {
        overPane_ = true;
        const RECT area = screenArea(setup_.parent);
        window_ = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kWindowClass, L"Pelmora", WS_POPUP,
                                  area.left, area.top, area.right - area.left, area.bottom - area.top,
                                  GetAncestor(setup_.parent, GA_ROOT), nullptr, module, this);
        followPane();
    } else if (setup_.kind == Kind::Preview) {
        RECT pane{};
        GetClientRect(setup_.parent, &pane);
        // No parent notification: it would wait on the pane owner's thread.
        window_ = CreateWindowExW(WS_EX_NOPARENTNOTIFY, kWindowClass, L"Pelmora", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                                  pane.right, pane.bottom, setup_.parent, nullptr, module, this);
    } else {
        const RECT& area = setup_.placement;
        window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWindowClass, L"Pelmora", WS_POPUP | WS_VISIBLE,
                                  area.left, area.top, area.right - area.left, area.bottom - area.top, nullptr,
                                  nullptr, module, this);
    }
    if (window_ == nullptr) {
        return;
    }
    if (setup_.power != nullptr) {
        setup_.power->listen(window_);
    }
    ViewHost host{*setup_.stores, setup_.moduleName, canvas_, sheetHost_};
    view_ = std::make_unique<PelmoraView>(viewFrame(), setup_.kind == Kind::Preview, host);
    if (setup_.kind == Kind::FullScreen) {
        SetForegroundWindow(window_);
        SetFocus(window_);
    }
}

SaverWindow::~SaverWindow() {
    if (window_ != nullptr && IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

float SaverWindow::dpi() const { return static_cast<float>(windowDpi(window_)); }

Rect SaverWindow::viewFrame() const {
    RECT client{};
    GetClientRect(window_, &client);
    const float scale = dpi();
    return Rect{0.0, 0.0, Direct2DCanvas::toUnits(client.right - client.left, scale),
                Direct2DCanvas::toUnits(client.bottom - client.top, scale)};
}

void SaverWindow::followPane() {
    if (!IsWindow(setup_.parent)) {
        return;
    }
    const RECT area = screenArea(setup_.parent);
    RECT now{};
    GetWindowRect(window_, &now);
    const bool shown = IsWindowVisible(setup_.parent) && !IsIconic(GetAncestor(setup_.parent, GA_ROOT));
    if (!EqualRect(&area, &now) || shown != (IsWindowVisible(window_) != FALSE)) {
        SetWindowPos(window_, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOOWNERZORDER | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
}

void SaverWindow::drawFrame() {
    if (window_ == nullptr || !view_ || !IsWindow(window_)) {
        return;
    }
    if (overPane_) {
        followPane();
    }
    RECT client{};
    GetClientRect(window_, &client);
    if (client.right <= client.left || client.bottom <= client.top) {
        return;
    }
    const Rect frame = viewFrame();
    if (frame.width != view_->bounds().width || frame.height != view_->bounds().height) {
        view_->setBounds(frame);
    }
    HDC dc = GetDC(window_);
    if (canvas_.beginFrame(dc, client, dpi())) {
        view_->animateOneFrame();
        canvas_.endFrame();
    }
    ReleaseDC(window_, dc);
}

void SaverWindow::end() {
    if (!ended_) {
        ended_ = true;
        if (setup_.onEnd) {
            setup_.onEnd();
        }
    }
}

bool SaverWindow::endsOnInput(UINT message, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_MOUSEWHEEL:
        return true;
    case WM_MOUSEMOVE: {
        // Windows sends a move when the window appears under a pointer that
        // has not moved; only a real move of more than a few pixels counts.
        POINT now{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(window_, &now);
        return std::labs(now.x - pointerStart_.x) > kPointerSlack || std::labs(now.y - pointerStart_.y) > kPointerSlack;
    }
    default:
        return false;
    }
}

LRESULT CALLBACK SaverWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<SaverWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (self->window_ == nullptr) {
        self->window_ = window;
    }
    try {
        return self->handle(message, wParam, lParam);
    } catch (...) {
        // The first failure is the one worth telling; the loop ends on it.
        if (!self->failure_) {
            self->failure_ = std::current_exception();
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void SaverWindow::rethrowFailure() {
    if (failure_) {
        std::rethrow_exception(std::exchange(failure_, nullptr));
    }
}

LRESULT SaverWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (setup_.kind == Kind::FullScreen && endsOnInput(message, lParam)) {
        end();
        return 0;
    }
    switch (message) {
    case WM_SETCURSOR:
        // Hidden over the full-screen saver; a plain arrow over a preview,
        // which sits in someone else's dialog.
        SetCursor(setup_.kind == Kind::FullScreen ? nullptr : LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
    case WM_ERASEBKGND:
        // Every frame paints the whole window; erasing would only flicker.
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        BeginPaint(window_, &paint);
        EndPaint(window_, &paint);
        return 0;
    }
    case WM_SYSCOMMAND:
        // No screen saver starting on top of the screen saver, no monitor power-down menu.
        if ((wParam & 0xFFF0) == SC_SCREENSAVE) {
            return 0;
        }
        break;
    case WM_POWERBROADCAST:
        if (setup_.power != nullptr) {
            setup_.power->handle(wParam, lParam);
        }
        return TRUE;
    case WM_CLOSE:
        end();
        return 0;
    case WM_DESTROY:
        end();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace pelmora
