#include "Win32SheetHost.h"

#include <commctrl.h>

#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "CheckBoxControl.h"
#include "ControlPanelIds.h"
#include "EditValueControl.h"
#include "MessageText.h"
#include "Win32SheetWindow.h"
#include "WideText.h"

namespace pelmora {
namespace {

enum class Kind { Float, Integer, Toggle };

struct ControlSpec {
    int id;
    std::string_view outlet;
    Kind kind;
    double step;
    std::string_view label;
};

// Each control of the dialog, the outlet it connects to and, for values,
// what one click of its up-down buttons adds.
constexpr std::array<ControlSpec, 11> kControls{{
    {IDC_LOCAL_FIELD_DISPLAY, "localFieldDisplayControl", Kind::Float, 10.0, "Field line length"},
    {IDC_ELECTRIC_FIELD_STRENGTH, "electricFieldStrengthControl", Kind::Float, 0.1, "Electric field strength"},
    {IDC_SPEED, "speedControl", Kind::Float, 1.0, "Speed"},
    {IDC_NUMBER, "numberControl", Kind::Integer, 1.0, "Number of spheres"},
    {IDC_CHARGE_RANGE, "chargeRangeControl", Kind::Integer, 1.0, "Largest charge"},
    {IDC_SPHERE_RADII, "sphereRadiiControl", Kind::Float, 0.5, "Sphere radius"},
    {IDC_BOUNCE, "bounceToggle", Kind::Toggle, 0.0, "Bouncing"},
    {IDC_LABELS, "labelToggle", Kind::Toggle, 0.0, "Charge labels"},
    {IDC_LOCAL_FIELDS, "localFieldToggle", Kind::Toggle, 0.0, "Show field lines"},
    {IDC_NEUTRAL, "neutralToggle", Kind::Toggle, 0.0, "Neutral spheres"},
    {IDC_FILL, "fillToggle", Kind::Toggle, 0.0, "Fill spheres"},
}};

const ControlSpec* specFor(int id) {
    for (const ControlSpec& spec : kControls) {
        if (spec.id == id) {
            return &spec;
        }
    }
    return nullptr;
}

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
EditValueControl editFor(HWND dialog, const ControlSpec& spec) {
    return EditValueControl(GetDlgItem(dialog, spec.id), spec.kind == Kind::Integer, spec.step);
}

// OK goes through only when every edit box holds a value; else the first
// bad one is named and gets the focus, and nothing changes.
bool editsHoldValues(HWND dialog) {
    for (const ControlSpec& spec : kControls) {
        if (spec.kind == Kind::Toggle || GetDlgItem(dialog, spec.id) == nullptr) {
            continue;
        }
        const EditValueControl edit = editFor(dialog, spec);
        if (const auto problem = edit.problem()) {
            if (DialogBinding* binding = bindingOf(dialog); binding != nullptr && binding->refused) {
                binding->refused(dialog, std::string(spec.label) + ": " + *problem);
            }
            SetFocus(edit.handle());
            SendMessageW(edit.handle(), EM_SETSEL, 0, -1);
            return false;
        }
    }
    return true;
}

void sendAction(HWND dialog, std::string_view action) {
    if (DialogBinding* binding = bindingOf(dialog)) {
        binding->owner->performAction(action);
    }
}

bool stepValue(HWND dialog, const NMUPDOWN& change) {
    const ControlSpec* spec = specFor(static_cast<int>(change.hdr.idFrom) - IDC_SPIN_OFFSET);
    if (spec == nullptr || spec->kind == Kind::Toggle) {
        return false;
    }
    EditValueControl edit = editFor(dialog, *spec);
    if (!edit.step(change.iDelta)) {
        MessageBeep(MB_OK);
    }
    return true;
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
    for (const ControlSpec& spec : kControls) {
        HWND control = GetDlgItem(dialog, spec.id);
        if (control == nullptr) {
            report("options dialog has no control with id " + std::to_string(spec.id) + " (" +
                   std::string(spec.outlet) + ")");
            continue;
        }
        std::unique_ptr<SheetControl> adapter;
        if (spec.kind == Kind::Toggle) {
            adapter = std::make_unique<CheckBoxControl>(control);
        } else {
            adapter = std::make_unique<EditValueControl>(control, spec.kind == Kind::Integer, spec.step);
            // The up-down buttons count in clicks only; see stepValue.
            SendDlgItemMessageW(dialog, spec.id + IDC_SPIN_OFFSET, UDM_SETRANGE32, static_cast<WPARAM>(-1000),
                                1000);
        }
        if (!owner.connectControl(spec.outlet, std::move(adapter))) {
            report("options dialog: the owner has no outlet \"" + std::string(spec.outlet) + "\"");
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
