#include "Win32SheetWindow.h"

namespace pelmora {

Win32SheetWindow::Win32SheetWindow(HWND dialog) : dialog_(dialog) {}

Win32SheetWindow::~Win32SheetWindow() {
    // The owner of a dialog may have destroyed it (and so this one) already.
    if (dialog_ != nullptr && IsWindow(dialog_)) {
        DestroyWindow(dialog_);
    }
}

}  // namespace pelmora
