#include "Win32SheetHost.h"

#include <commctrl.h>

#include <array>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CheckBoxControl.h"
#include "ControlPanelIds.h"
#include "EditValueControl.h"
#include "MessageText.h"
#include "SettingText.h"
#include "SettingsSchema.h"
#include "Win32SheetWindow.h"
#include "WideText.h"

namespace pelmora {
namespace {

struct ControlSpec {
    int id;
    const Setting* setting;
};

constexpr ControlSpec spec(int id, std::string_view key) { return {id, findSetting(key)}; }

// The dialog's control for each setting; what it is, shows and steps by
// comes from the settings table.
constexpr std::array<ControlSpec, kSettings.size()> kControls{{
    spec(IDC_LOCAL_FIELD_DISPLAY, "localFieldDisplay"),
    spec(IDC_ELECTRIC_FIELD_STRENGTH, "electricFieldStrength"),
    spec(IDC_SPEED, "speedDivisor"),
    spec(IDC_NUMBER, "numberOfThings"),
    spec(IDC_CHARGE_RANGE, "chargeRange"),
    spec(IDC_SPHERE_RADII, "sphereRadii"),
    spec(IDC_BOUNCE, "bouncingEnabled"),
    spec(IDC_LABELS, "labelsEnabled"),
    spec(IDC_LOCAL_FIELDS, "showLocalFields"),
    spec(IDC_NEUTRAL, "neutralCharges"),
    spec(IDC_FILL, "fillSpheres"),
}};

static_assert([] {
    for (const ControlSpec& control : kControls) {
        if (control.setting == nullptr) {
            return false;
        }
    }
    return true;
}(), "every control needs a setting of the table");

bool isToggle(const ControlSpec& control) { return control.setting->type == SettingType::Boolean; }

const ControlSpec* specFor(int id) {
    for (const ControlSpec& control : kControls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

// A label with its mnemonic as Windows marks it: '&' where the table has '_'.
std::wstring windowsLabel(std::string_view label) {
    std::string text(label);
    for (char& c : text) {
        if (c == '_') {
            c = '&';
        }
    }
    return widen(text);
}

std::string plainText(std::string_view label) { return std::string(plainLabel(label).view()); }

// What the dialog procedure needs: the owner to send actions to and whom to
// tell when OK is refused. Freed with the dialog.
struct DialogBinding {
    SheetOwner* owner;
    Win32SheetHost::RefusalHandler refused;
};

DialogBinding* bindingOf(HWND dialog) {
    return reinterpret_cast<DialogBinding*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

// Value controls built on the dialog's own edit boxes; the dialog procedure
// needs them only to check and step the text, never to keep them.
EditValueControl editFor(HWND dialog, const ControlSpec& control) {
    return EditValueControl(GetDlgItem(dialog, control.id), control.setting->type == SettingType::Integer,
                            control.setting->sheet.step);
}

// OK goes through only when every edit box holds a value; else the first
// bad one is named and gets the focus, and nothing changes.
bool editsHoldValues(HWND dialog) {
    for (const ControlSpec& control : kControls) {
        if (isToggle(control) || GetDlgItem(dialog, control.id) == nullptr) {
            continue;
        }
        const EditValueControl edit = editFor(dialog, control);
        if (const auto problem = edit.problem()) {
            if (DialogBinding* binding = bindingOf(dialog); binding != nullptr && binding->refused) {
                binding->refused(dialog, plainText(control.setting->label) + ": " + *problem);
            }
            SetFocus(edit.handle());
            SendMessageW(edit.handle(), EM_SETSEL, 0, -1);
            return false;
        }
    }
    return true;
}

// The border between Windows' dialog dispatch and the view: an exception
// that crossed it (memory running out while OK rebuilds a crowded view)
// would end the program on the spot. It is told instead, and the sheet ends
// as if cancelled.
void sendAction(HWND dialog, std::string_view action) {
    DialogBinding* binding = bindingOf(dialog);
    if (binding == nullptr) {
        return;
    }
    std::string failure;
    try {
        binding->owner->performAction(action);
        return;
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "an unknown failure";
    }
    binding->refused(dialog, "The options could not be applied: " + failure);
    if (action != "cancel:") {
        sendAction(dialog, "cancel:");
    }
}

bool stepValue(HWND dialog, const NMUPDOWN& change) {
    const ControlSpec* control = specFor(static_cast<int>(change.hdr.idFrom) - IDC_SPIN_OFFSET);
    if (control == nullptr || isToggle(*control)) {
        return false;
    }
    EditValueControl edit = editFor(dialog, *control);
    if (!edit.step(change.iDelta)) {
        MessageBeep(MB_OK);
    }
    return true;
}

// Fills every control with its setting's registered default, as the GTK
// sheet's Reset does; OK applies them, Cancel leaves them unapplied.
void resetToDefaults(HWND dialog) {
    for (const ControlSpec& control : kControls) {
        HWND handle = GetDlgItem(dialog, control.id);
        if (handle == nullptr) {
            continue;
        }
        const Setting& setting = *control.setting;
        switch (setting.type) {
        case SettingType::Boolean: CheckBoxControl(handle).setState(registeredBool(setting) ? 1 : 0); break;
        case SettingType::Float: editFor(dialog, control).setFloatValue(registeredFloat(setting)); break;
        case SettingType::Integer: editFor(dialog, control).setIntValue(registeredInteger(setting)); break;
        }
    }
}

// The words of the dialog: section titles, and each control's label (a
// value's on the text before it, a toggle's on the box itself).
void showLabels(HWND dialog) {
    for (std::size_t section = 0; section < kSettingSectionTitles.size(); ++section) {
        SetDlgItemTextW(dialog, IDC_SECTION_FIRST + static_cast<int>(section),
                        widen(kSettingSectionTitles[section]).c_str());
    }
    for (const ControlSpec& control : kControls) {
        const int labelId = isToggle(control) ? control.id : control.id + IDC_LABEL_OFFSET;
        SetDlgItemTextW(dialog, labelId, windowsLabel(control.setting->label).c_str());
    }
}

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            if (editsHoldValues(dialog)) {
                sendAction(dialog, "ok:");
            }
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_RESET) {
            resetToDefaults(dialog);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            sendAction(dialog, "cancel:");
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == UDN_DELTAPOS && stepValue(dialog, *reinterpret_cast<const NMUPDOWN*>(lParam))) {
            // The buttons' own position never changes; the text is the value.
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    }
    case WM_NCDESTROY:
        delete bindingOf(dialog);
        SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
        return FALSE;
    default:
        return FALSE;
    }
}

bool isPlainName(std::string_view name) {
    return !name.empty() && name.find_first_of(std::string_view("\\/\0", 3)) == std::string_view::npos;
}

}  // namespace

Win32SheetHost::Win32SheetHost(HINSTANCE module, HWND parent)
    : module_(module), parent_(parent), refused_([](HWND dialog, const std::string& why) {
          MessageBoxW(dialog, widen(why).c_str(), L"Pelmora Options", MB_OK | MB_ICONWARNING);
      }) {}

void Win32SheetHost::report(const std::string& problem) const {
    if (sink_) {
        sink_(problem);
    }
}

bool Win32SheetHost::loadNibNamed(std::string_view name, SheetOwner& owner) {
    if (!isPlainName(name)) {
        report("options dialog " + quoteForMessage(name) + ": not the name of a dialog resource");
        return false;
    }
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    auto binding = std::make_unique<DialogBinding>(DialogBinding{&owner, refused_});
    const std::wstring resource = widen(name);
    HWND dialog = CreateDialogParamW(module_, resource.c_str(), parent_, dialogProcedure,
                                     reinterpret_cast<LPARAM>(binding.get()));
    if (dialog == nullptr) {
        report("options dialog " + quoteForMessage(name) + " could not be loaded: " +
               std::to_string(GetLastError()));
        return false;
    }
    // From here on the dialog frees the binding when it is destroyed.
    binding.release();
    if (!owner.connectWindow(name, std::make_unique<Win32SheetWindow>(dialog))) {
        report("options dialog \"" + std::string(name) + "\": the owner has no outlet of that name");
        DestroyWindow(dialog);
        return false;
    }
    connectControls(dialog, owner);
    return true;
}

void Win32SheetHost::connectControls(HWND dialog, SheetOwner& owner) {
    // A missing control is reported and left unconnected; the rest of the
    // dialog still works, and the view leaves that setting as it is.
    showLabels(dialog);
    for (const ControlSpec& spec : kControls) {
        const std::string outlet(spec.setting->outlet);
        HWND control = GetDlgItem(dialog, spec.id);
        if (control == nullptr) {
            report("options dialog has no control with id " + std::to_string(spec.id) + " (" + outlet + ")");
            continue;
        }
        std::unique_ptr<SheetControl> adapter;
        if (isToggle(spec)) {
            adapter = std::make_unique<CheckBoxControl>(control);
        } else {
            adapter = std::make_unique<EditValueControl>(editFor(dialog, spec));
            // The up-down buttons count in clicks only; see stepValue.
            SendDlgItemMessageW(dialog, spec.id + IDC_SPIN_OFFSET, UDM_SETRANGE32, static_cast<WPARAM>(-1000),
                                1000);
        }
        if (!owner.connectControl(outlet, std::move(adapter))) {
            report("options dialog: the owner has no outlet " + quoteForMessage(outlet));
        }
    }
}

HWND Win32SheetHost::dialogOf(SheetWindow& sheet) {
    auto* window = dynamic_cast<Win32SheetWindow*>(&sheet);
    return window != nullptr ? window->handle() : nullptr;
}

void Win32SheetHost::present(SheetWindow& sheet) {
    if (HWND dialog = dialogOf(sheet)) {
        ShowWindow(dialog, SW_SHOW);
        SetForegroundWindow(dialog);
    }
}

void Win32SheetHost::endSheet(SheetWindow& sheet, std::int64_t returnCode) {
    if (HWND dialog = dialogOf(sheet)) {
        ShowWindow(dialog, SW_HIDE);
    }
    if (ended_) {
        ended_(returnCode);
    }
}

void Win32SheetHost::endSheet(SheetWindow& sheet) {
    if (HWND dialog = dialogOf(sheet)) {
        ShowWindow(dialog, SW_HIDE);
    }
    if (ended_) {
        ended_(std::nullopt);
    }
}

}  // namespace pelmora
