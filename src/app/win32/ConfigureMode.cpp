#include "ConfigureMode.h"

#include <memory>
#include <string>
#include <vector>

#include "ConsoleMessages.h"
#include "Direct2DCanvas.h"
#include "PelmoraView.h"
#include "SaverStores.h"
#include "Win32SheetHost.h"
#include "WideText.h"

namespace pelmora {
namespace {

constexpr const wchar_t* kTitle = L"Pelmora Options";

HWND ownerWindow(const SaverOptions& options) {
    HWND owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(options.window.value_or(0)));
    return owner != nullptr && IsWindow(owner) ? owner : nullptr;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) {
        joined += line + "\n";
    }
    return joined;
}

// Runs the dialog's messages, with its keyboard handling, until WM_QUIT.
void runDialog(HWND dialog) {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

}  // namespace

int runConfigure(HINSTANCE module, const SaverOptions& options) {
    // The user is right there: messages about the settings are shown to them
    // as well as written out.
    std::vector<std::string> messages;
    const auto collect = [&messages](const std::string& message) {
        writeMessage(message);
        messages.push_back(message);
    };
    const auto stores = makeSaverStores(options, collect);
    Direct2DCanvas canvas;
    Win32SheetHost sheetHost(module, ownerWindow(options));
    sheetHost.setMessageSink(collect);
    const Rect screen{0.0, 0.0, static_cast<double>(GetSystemMetrics(SM_CXSCREEN)),
                      static_cast<double>(GetSystemMetrics(SM_CYSCREEN))};
    PelmoraView view(screen, false, ViewHost{*stores, options.moduleName, canvas, sheetHost});
    SheetWindow* sheet = view.configureSheet();
    HWND dialog = sheet != nullptr ? Win32SheetHost::dialogOf(*sheet) : nullptr;
    if (dialog == nullptr) {
        MessageBoxW(ownerWindow(options), widen("The options dialog could not be shown.\n" + joinLines(messages)).c_str(),
                    kTitle, MB_OK | MB_ICONERROR);
        return 1;
    }
    sheetHost.setEndedHandler([&](std::optional<std::int64_t> returnCode) {
        // A failed save keeps the dialog with the user's values, so nothing
        // is lost; they may try again or cancel.
        if (returnCode && !view.lastSaveSucceeded()) {
            collect("settings not saved: " + view.lastSaveError());
            MessageBoxW(dialog, widen("The settings could not be saved:\n" + view.lastSaveError()).c_str(), kTitle,
                        MB_OK | MB_ICONERROR);
            Win32SheetHost::present(*sheet);
            return;
        }
        PostQuitMessage(0);
    });
    Win32SheetHost::present(*sheet);
    if (!messages.empty()) {
        MessageBoxW(dialog, widen(joinLines(messages)).c_str(), kTitle, MB_OK | MB_ICONWARNING);
    }
    runDialog(dialog);
    return 0;
}

}  // namespace pelmora
