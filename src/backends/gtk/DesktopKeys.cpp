#include "DesktopKeys.h"

namespace pelmora {

namespace {

constexpr auto kCommandModifiers = static_cast<GdkModifierType>(GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK);

bool isQ(guint keyval) { return keyval == GDK_KEY_q || keyval == GDK_KEY_Q; }

}  // namespace

DesktopKeys::Action DesktopKeys::actionFor(guint keyval, GdkModifierType state, bool fullscreen) {
    const auto modifiers = static_cast<GdkModifierType>(state & kCommandModifiers);
    if (modifiers == GDK_CONTROL_MASK && isQ(keyval)) {
        return Action::Quit;
    }
    if (modifiers != 0) {
        return Action::None;  // mnemonics and GTK's own shortcuts
    }
    switch (keyval) {
        case GDK_KEY_Escape: return fullscreen ? Action::LeaveFullscreen : Action::Quit;
        case GDK_KEY_q:
        case GDK_KEY_Q: return Action::Quit;
        case GDK_KEY_F11: return Action::ToggleFullscreen;
        case GDK_KEY_o:
        case GDK_KEY_O: return Action::OpenOptions;
        case GDK_KEY_F1:
        case GDK_KEY_question: return Action::ShowKeys;
        default: return Action::None;
    }
}

const char* DesktopKeys::description() {
    return "O\tOptions\n"
           "F11\tFull screen on or off\n"
           "Escape\tLeave full screen, or quit\n"
           "Q or Ctrl+Q\tQuit\n"
           "F1 or ?\tThese keys";
}

}  // namespace pelmora
