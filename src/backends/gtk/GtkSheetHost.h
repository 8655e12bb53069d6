#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SheetHost.h"

namespace pelmora {

// What a sheet's interface file must provide: the id of its window and the
// ids of its controls, each connected to the owner's outlet of that name.
struct SheetOutlets {
    std::string window;
    std::vector<std::string> controls;
};

// Loads GtkBuilder interface files compiled into the program as resources
// ("<prefix><name>.ui") and connects them to their owner: the window and the
// controls by id, every signal handler named in the file ("ok:", "cancel:")
// to the owner's action of that name. Closing the window or pressing Escape
// sends "cancel:". Ending a sheet hides its window. The handler
// "resetToDefaults:" is the host's own: it fills each setting's control
// (found by the outlet the settings table names) with the registered default
// and leaves applying them to OK.
class GtkSheetHost : public SheetHost {
public:
    using MessageSink = std::function<void(const std::string&)>;
    // Told when a sheet ends: with the return code, or without one (cancel).
    using EndedHandler = std::function<void(std::optional<std::int64_t>)>;

    explicit GtkSheetHost(SheetOutlets outlets, std::string resourcePrefix = "/org/pelmora/");

    bool loadNibNamed(std::string_view name, SheetOwner& owner) override;
    // The same from interface text, reported under `fileName`.
    bool loadFromString(std::string_view text, std::string_view fileName, SheetOwner& owner);

    void endSheet(SheetWindow& sheet, std::int64_t returnCode) override;
    void endSheet(SheetWindow& sheet) override;

    // Shows the sheet as a modal dialog attached to `parent`, with the
    // keyboard, its scrolled part (if it has one) no taller than keeps the
    // dialog on `parent`'s monitor.
    static void present(SheetWindow& sheet, GtkWindow* parent);

    // Problems with an interface file go here, one line each (default: stderr).
    void setMessageSink(MessageSink sink) { sink_ = std::move(sink); }
    void setEndedHandler(EndedHandler handler) { ended_ = std::move(handler); }

private:
    bool connect(GtkBuilder* builder, const std::string& fileName, SheetOwner& owner);
    void connectControls(GtkBuilder* builder, const std::string& fileName, SheetOwner& owner);
    void report(const std::string& fileName, const std::string& problem) const;
    void hide(SheetWindow& sheet);

    SheetOutlets outlets_;
    std::string resourcePrefix_;
    MessageSink sink_;
    EndedHandler ended_;
};

}  // namespace pelmora
