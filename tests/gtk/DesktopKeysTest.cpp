// The desktop window's keys, decided without a display.
#include <gtest/gtest.h>

#include "DesktopKeys.h"

namespace pelmora {
namespace {

using Action = DesktopKeys::Action;

Action action(guint keyval, int state = 0, bool fullscreen = false) {
    return DesktopKeys::actionFor(keyval, static_cast<GdkModifierType>(state), fullscreen);
}

TEST(DesktopKeys, EscapeLeavesFullScreenFirstAndQuitsOnlyAWindow) {
    EXPECT_EQ(action(GDK_KEY_Escape, 0, true), Action::LeaveFullscreen);
    EXPECT_EQ(action(GDK_KEY_Escape, 0, false), Action::Quit);
    // Caps Lock or Num Lock on change nothing.
    EXPECT_EQ(action(GDK_KEY_Escape, GDK_LOCK_MASK | GDK_MOD2_MASK, true), Action::LeaveFullscreen);
    EXPECT_EQ(action(GDK_KEY_F11, 0, true), Action::ToggleFullscreen);
    EXPECT_EQ(action(GDK_KEY_F11, 0, false), Action::ToggleFullscreen);
}

TEST(DesktopKeys, CtrlQAndQQuitEvenInFullScreen) {
    for (const bool fullscreen : {false, true}) {
        EXPECT_EQ(action(GDK_KEY_q, GDK_CONTROL_MASK, fullscreen), Action::Quit);
        EXPECT_EQ(action(GDK_KEY_Q, GDK_CONTROL_MASK | GDK_SHIFT_MASK, fullscreen), Action::Quit);
        EXPECT_EQ(action(GDK_KEY_q, 0, fullscreen), Action::Quit);
    }
    // Other command keys belong to GTK: mnemonics, Alt+F4.
    EXPECT_EQ(action(GDK_KEY_q, GDK_MOD1_MASK), Action::None);
    EXPECT_EQ(action(GDK_KEY_q, GDK_CONTROL_MASK | GDK_MOD1_MASK), Action::None);
    EXPECT_EQ(action(GDK_KEY_o, GDK_MOD1_MASK), Action::None);
    EXPECT_EQ(action(GDK_KEY_Escape, GDK_CONTROL_MASK), Action::None);
}

TEST(DesktopKeys, F1OrQuestionMarkShowsTheKeysAndOOpensTheOptions) {
    EXPECT_EQ(action(GDK_KEY_F1), Action::ShowKeys);
    EXPECT_EQ(action(GDK_KEY_question, GDK_SHIFT_MASK), Action::ShowKeys);
    EXPECT_EQ(action(GDK_KEY_o), Action::OpenOptions);
    EXPECT_EQ(action(GDK_KEY_O, GDK_SHIFT_MASK), Action::OpenOptions);
    EXPECT_EQ(action(GDK_KEY_space), Action::None);
    const std::string keys = DesktopKeys::description();
    for (const char* named : {"F11", "Escape", "Ctrl+Q", "F1", "?"}) {
        EXPECT_NE(keys.find(named), std::string::npos) << named;
    }
}

}  // namespace
}  // namespace pelmora
