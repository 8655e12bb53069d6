#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "SheetHost.h"

namespace pelmora {

// Loads the options dialog from the program's dialog resource of the same
// name ("controlPanel") and connects it to its owner: the dialog to the
// window outlet, each control by its id (ControlPanelIds.h) to the outlet of
// that name, OK to "ok:" and Cancel (also Escape and the close box) to
// "cancel:". The labels and section titles are written from the settings
// table, as the GTK sheet shows them; "Reset to Defaults" fills every control
// with its registered default and leaves applying them to OK. OK is refused,
// with a message, while an edit box holds text that is no value. Ending a
// sheet hides the dialog.
class Win32SheetHost : public SheetHost {
public:
    using MessageSink = std::function<void(const std::string&)>;
    // Told when a sheet ends: with the return code, or without one (cancel).
    using EndedHandler = std::function<void(std::optional<std::int64_t>)>;
    // Told why OK was refused (an edit box holds no value), with the dialog.
    using RefusalHandler = std::function<void(HWND dialog, const std::string& why)>;

    // `parent` (may be null) owns the dialogs; `module` holds the resource.
    Win32SheetHost(HINSTANCE module, HWND parent);

    bool loadNibNamed(std::string_view name, SheetOwner& owner) override;
    void endSheet(SheetWindow& sheet, std::int64_t returnCode) override;
    void endSheet(SheetWindow& sheet) override;

    // Shows the sheet and gives it the keyboard.
    static void present(SheetWindow& sheet);
    // The dialog window of a sheet this host loaded, else null.
    static HWND dialogOf(SheetWindow& sheet);

    // Problems with the resource go here, one line each (default: none).
    void setMessageSink(MessageSink sink) { sink_ = std::move(sink); }
    void setEndedHandler(EndedHandler handler) { ended_ = std::move(handler); }
    // Default: a message box on the dialog. Dialogs loaded later use it.
    void setRefusalHandler(RefusalHandler handler) { refused_ = std::move(handler); }

private:
    void report(const std::string& problem) const;
    void connectControls(HWND dialog, SheetOwner& owner);

    HINSTANCE module_;
    HWND parent_;
    MessageSink sink_;
    EndedHandler ended_;
    RefusalHandler refused_;
};

}  // namespace pelmora
