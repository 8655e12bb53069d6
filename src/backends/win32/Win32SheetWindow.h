#pragma once

#include <windows.h>

#include "SheetControl.h"

namespace pelmora {

// The options dialog as loaded from its resource. Whoever owns this object
// owns the dialog window: it is destroyed with it.
class Win32SheetWindow : public SheetWindow {
public:
    explicit Win32SheetWindow(HWND dialog);
    ~Win32SheetWindow() override;
    Win32SheetWindow(const Win32SheetWindow&) = delete;
    Win32SheetWindow& operator=(const Win32SheetWindow&) = delete;

    HWND handle() const { return dialog_; }

private:
    HWND dialog_;
};

}  // namespace pelmora
