// Drives the real pelmora.scr the way Windows does: a preview pane made
// here, and the options dialog. The path of pelmora.scr comes in
// PELMORA_SCR. Run with --pane-owner, the program is instead the owner of a
// preview pane that the test kills (see PreviewEndsWhenItsPaneOwnerDies);
// with --plain-host SECONDS, a plain window with a preview in it.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "ControlPanelIds.h"
#include "TopDownBitmap.h"
#include "WideText.h"

namespace pelmora {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Generous: Wine starts a process in about a second on an idle machine, and
// the machine may be far from idle.
constexpr milliseconds kStartDeadline{60000};
// How soon a preview must end once its pane is gone; the saver looks ten
// times a second, the rest is process teardown under Wine.
constexpr milliseconds kEndDeadline{1000};
// How long to wait for an end that is already late before giving up on it.
constexpr milliseconds kGiveUp{10000};

std::wstring saverPath() {
    const char* path = std::getenv("PELMORA_SCR");
    return path != nullptr ? widen(path) : std::wstring(L"pelmora.scr");
}

// Handles this thread's messages while waiting: a pane's owner must keep
// answering, or a child in another process can block on it.
void pumpFor(milliseconds time) {
    const auto until = Clock::now() + time;
    while (Clock::now() < until) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

template <typename Condition>
bool waitFor(Condition condition, milliseconds deadline) {
    const auto until = Clock::now() + deadline;
    while (!condition()) {
        if (Clock::now() >= until) {
            return false;
        }
        pumpFor(milliseconds(20));
    }
    return true;
}

// Waits, pumping, for a process to end; the time it took, or nothing.
std::optional<milliseconds> waitForExit(HANDLE process, milliseconds deadline) {
    const auto start = Clock::now();
    if (!waitFor([process] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, deadline)) {
        return std::nullopt;
    }
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

PROCESS_INFORMATION start(const std::wstring& program, const std::wstring& arguments, HANDLE output = nullptr) {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (output != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start " << narrow(commandLine) << ": error " << GetLastError();
    }
    return process;
}

void closeProcess(PROCESS_INFORMATION& process) {
    if (process.hProcess != nullptr) {
        if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 99);
        }
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        process = {};
    }
}

HWND makePane() {
    WNDCLASSW paneClass{};
    paneClass.lpfnWndProc = DefWindowProcW;
    paneClass.hInstance = GetModuleHandleW(nullptr);
    paneClass.lpszClassName = L"PelmoraTestPane";
    RegisterClassW(&paneClass);
    HWND pane = CreateWindowExW(0, L"PelmoraTestPane", L"Preview pane", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 240,
                                180, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    pumpFor(milliseconds(50));
    return pane;
}

struct PreviewSearch {
    DWORD processId;
    HWND owner;  // the owner the window must have, or null for any child
    HWND found;
};

BOOL CALLBACK matchPreview(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<PreviewSearch*>(search);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == wanted->processId &&
        (wanted->owner == nullptr || (GetWindow(window, GW_OWNER) == wanted->owner && IsWindowVisible(window)))) {
        wanted->found = window;
        return FALSE;
    }
    return TRUE;
}

// The window of process `processId` that shows its preview in `pane`, if
// any: a child of the pane, or under Wine a window owned by the pane's
// top-level window and kept over it.
HWND childOf(HWND pane, DWORD processId) {
    PreviewSearch child{processId, nullptr, nullptr};
    EnumChildWindows(pane, matchPreview, reinterpret_cast<LPARAM>(&child));
    if (child.found != nullptr) {
        return child.found;
    }
    PreviewSearch over{processId, GetAncestor(pane, GA_ROOT), nullptr};
    EnumWindows(matchPreview, reinterpret_cast<LPARAM>(&over));
    return over.found;
}

TEST(SaverProgram, PreviewDrawsInsideItsPaneAndEndsWithIt) {
    HWND pane = makePane();
    ASSERT_NE(pane, nullptr);
    auto saver = start(saverPath(), L"/p " + std::to_wstring(reinterpret_cast<std::uintptr_t>(pane)));
    ASSERT_NE(saver.hProcess, nullptr);
    HWND child = nullptr;
    ASSERT_TRUE(waitFor([&] { return (child = childOf(pane, saver.dwProcessId)) != nullptr; }, kStartDeadline))
        << "no window of the saver inside the pane";
    RECT paneArea{};
    RECT childArea{};
    GetClientRect(pane, &paneArea);
    GetClientRect(child, &childArea);
    EXPECT_EQ(childArea.right, paneArea.right);
    EXPECT_EQ(childArea.bottom, paneArea.bottom);
    EXPECT_TRUE(IsWindowVisible(child));
    // Still running a while later: a preview lasts as long as its pane.
    pumpFor(milliseconds(500));
    EXPECT_EQ(WaitForSingleObject(saver.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    DestroyWindow(pane);
    const auto took = waitForExit(saver.hProcess, kGiveUp);
    ASSERT_TRUE(took.has_value()) << "the saver did not end with its pane";
    EXPECT_LE(took->count(), kEndDeadline.count()) << "ms until the saver ended";
    std::printf("the preview ended %lld ms after its pane\n", static_cast<long long>(took->count()));
    DWORD code = 99;
    GetExitCodeProcess(saver.hProcess, &code);
    EXPECT_EQ(code, 0U);
    closeProcess(saver);
}

// A plain program's window as a preview pane, for tests/win32/wine_tests.sh
// to look at: white, at (100, 100) on the screen, with the saver started in
// it; closed, with the saver, after `seconds`.
int runPlainHost(const std::wstring& scr, int seconds) {
    WNDCLASSW hostClass{};
    hostClass.lpfnWndProc = DefWindowProcW;
    hostClass.hInstance = GetModuleHandleW(nullptr);
    hostClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    hostClass.lpszClassName = L"PelmoraPlainHost";
    RegisterClassW(&hostClass);
    HWND host = CreateWindowExW(0, L"PelmoraPlainHost", L"Plain host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                                320, 240, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    auto saver = start(scr, L"/p " + std::to_wstring(reinterpret_cast<std::uintptr_t>(host)));
    pumpFor(milliseconds(1000LL * seconds));
    DestroyWindow(host);
    const bool ended = saver.hProcess != nullptr && waitForExit(saver.hProcess, kGiveUp).has_value();
    closeProcess(saver);
    return ended ? 0 : 1;
}

// The owner side of the next test: makes a pane, starts the saver in it and
// reports "<pane> <saver pid>" on its output, then serves the pane until it
// is killed.
int runPaneOwner(const std::wstring& scr) {
    HWND pane = makePane();
    auto saver = start(scr, L"/p " + std::to_wstring(reinterpret_cast<std::uintptr_t>(pane)));
    std::printf("%llu %lu\n", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pane)),
                static_cast<unsigned long>(saver.dwProcessId));
    std::fflush(stdout);
    for (;;) {
        pumpFor(milliseconds(1000));
    }
}

std::string readLine(HANDLE pipe, milliseconds deadline) {
    std::string line;
    const auto until = Clock::now() + deadline;
    while (Clock::now() < until && line.find('\n') == std::string::npos) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
            break;
        }
        if (available == 0) {
            Sleep(20);
            continue;
        }
        char buffer[128];
        DWORD got = 0;
        ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr);
        line.append(buffer, got);
    }
    return line;
}

TEST(SaverProgram, PreviewEndsWhenItsPaneOwnerDies) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    auto owner = start(self, L"--pane-owner", writeEnd);
    CloseHandle(writeEnd);
    const std::string line = readLine(readEnd, kStartDeadline);
    CloseHandle(readEnd);
    unsigned long long paneValue = 0;
    unsigned long saverId = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%llu %lu", &paneValue, &saverId), 2) << "owner said: " << line;
    HWND pane = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(paneValue));
    HANDLE saver = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, saverId);
    ASSERT_NE(saver, nullptr);
    ASSERT_TRUE(waitFor([&] { return childOf(pane, saverId) != nullptr; }, kStartDeadline))
        << "no window of the saver inside the pane";

    // Killed, the owner destroys nothing: Wine takes its windows away in its
    // own time, and from then on the saver has a second to notice.
    TerminateProcess(owner.hProcess, 9);
    EXPECT_TRUE(waitFor([pane] { return !IsWindow(pane); }, kGiveUp)) << "the dead owner's pane stayed";
    const auto took = waitForExit(saver, kGiveUp);
    EXPECT_TRUE(took.has_value()) << "the saver outlived its pane's owner";
    if (took) {
        EXPECT_LE(took->count(), kEndDeadline.count()) << "ms until the saver ended";
        std::printf("the preview ended %lld ms after its dead owner's pane went\n", static_cast<long long>(took->count()));
    } else {
        TerminateProcess(saver, 99);
    }
    CloseHandle(saver);
    closeProcess(owner);
}

std::wstring registryText(const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[64] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) {
        return L"<none>";
    }
    return buffer;
}

struct DialogSearch {
    DWORD processId;
    int control;  // a control the dialog must have, or 0
    HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<DialogSearch*>(search);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (owner == wanted->processId && std::wstring(className) == L"#32770" && IsWindowVisible(window) &&
        (wanted->control == 0 || GetDlgItem(window, wanted->control) != nullptr)) {
        wanted->found = window;
        return FALSE;
    }
    return TRUE;
}

// The first visible dialog of process `processId` (with `control`, unless
// 0) within the deadline.
HWND dialogOf(DWORD processId, int control = 0) {
    DialogSearch search{processId, control, nullptr};
    waitFor(
        [&] {
            EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        kStartDeadline);
    return search.found;
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

BOOL CALLBACK collectLongestStatic(HWND child, LPARAM longest) {
    wchar_t className[16] = {};
    GetClassNameW(child, className, 16);
    auto* found = reinterpret_cast<HWND*>(longest);
    if (lstrcmpiW(className, L"Static") == 0 &&
        (*found == nullptr || GetWindowTextLengthW(child) > GetWindowTextLengthW(*found))) {
        *found = child;
    }
    return TRUE;
}

// The help is read in a message box that wraps what does not fit. A line of
// the text that the box has to wrap must end its paragraph: were it followed
// by more of the same paragraph, the break of ours would come after the
// box's, stranding a word or two mid-phrase.
TEST(SaverProgram, HelpBreaksItsLinesOnlyBetweenPhrases) {
    auto saver = start(saverPath(), L"/?");
    ASSERT_NE(saver.hProcess, nullptr);
    HWND box = dialogOf(saver.dwProcessId);
    ASSERT_NE(box, nullptr) << "no help box";
    pumpFor(milliseconds(300));
    HWND textControl = nullptr;
    EnumChildWindows(box, collectLongestStatic, reinterpret_cast<LPARAM>(&textControl));
    ASSERT_NE(textControl, nullptr);
    const std::wstring text = windowText(textControl);
    EXPECT_NE(text.find(L"/p HWND"), std::wstring::npos) << narrow(text);
    RECT area{};
    GetClientRect(textControl, &area);
    HDC dc = GetDC(textControl);
    const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(textControl, WM_GETFONT, 0, 0)));
    const auto heightOf = [&](const std::wstring& line) {
        RECT bounds{0, 0, area.right, 0};
        DrawTextW(dc, line.empty() ? L" " : line.c_str(), -1, &bounds, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        return bounds.bottom;
    };
    const int oneLine = heightOf(L"X");
    std::vector<std::wstring> lines;
    for (std::size_t from = 0; from <= text.size();) {
        const std::size_t end = std::min(text.find(L'\n', from), text.size());
        std::wstring line = text.substr(from, end - from);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        lines.push_back(line);
        from = end + 1;
    }
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (heightOf(lines[i]) > oneLine) {
            EXPECT_TRUE(lines[i + 1].empty()) << "the box wraps \"" << narrow(lines[i]) << "\" and the text goes on with \""
                                              << narrow(lines[i + 1]) << "\"";
        }
    }
    SelectObject(dc, previous);
    ReleaseDC(textControl, dc);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(waitForExit(saver.hProcess, kStartDeadline).has_value()) << "the help box stayed after OK";
    closeProcess(saver);
}

BOOL CALLBACK collectText(HWND child, LPARAM texts) {
    reinterpret_cast<std::vector<std::wstring>*>(texts)->push_back(windowText(child));
    return TRUE;
}

// Share of a 32x32 drawing of `icon` in Pelmora's night blue, where the
// installer's stock icon has next to none.
double nightBlueShare(HICON icon) {
    constexpr int kSide = 32;
    const testing::TopDownBitmap bitmap(kSide, kSide);
    RECT all{0, 0, kSide, kSide};
    FillRect(bitmap.dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(bitmap.dc(), 0, 0, icon, kSide, kSide, 0, nullptr, DI_NORMAL);
    GdiFlush();
    int night = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const std::uint32_t pixel = bitmap.at(x, y);
            const unsigned red = (pixel >> 16) & 0xFFU;
            const unsigned green = (pixel >> 8) & 0xFFU;
            const unsigned blue = pixel & 0xFFU;
            night += blue >= 40 && red <= 40 && green <= 50 ? 1 : 0;
        }
    }
    return static_cast<double>(night) / (kSide * kSide);
}

// The installer as a user first meets it; PELMORA_SETUP is its path.
TEST(SaverProgram, InstallerWelcomesUnderPelmorasNameAndIcon) {
    const char* setup = std::getenv("PELMORA_SETUP");
    ASSERT_NE(setup, nullptr) << "PELMORA_SETUP names no installer";
    // The icon Explorer shows for the file and the window shows in its corner.
    HICON icon = nullptr;
    ASSERT_EQ(ExtractIconExW(widen(setup).c_str(), 0, &icon, nullptr, 1), 1U) << "the installer has no icon";
    EXPECT_GE(nightBlueShare(icon), 0.5) << "the installer does not wear Pelmora's icon";
    DestroyIcon(icon);

    auto installer = start(widen(setup), L"");
    struct Ending {
        PROCESS_INFORMATION& process;
        ~Ending() { closeProcess(process); }
    } ending{installer};
    ASSERT_NE(installer.hProcess, nullptr);
    HWND window = dialogOf(installer.dwProcessId);
    ASSERT_NE(window, nullptr) << "no installer window";
    const auto showsText = [window](const wchar_t* wanted) {
        return waitFor(
            [&] {
                std::vector<std::wstring> texts;
                EnumChildWindows(window, collectText, reinterpret_cast<LPARAM>(&texts));
                return std::any_of(texts.begin(), texts.end(),
                                   [&](const std::wstring& text) { return text.find(wanted) == 0; });
            },
            kStartDeadline);
    };
    ASSERT_TRUE(showsText(L"Welcome to Pelmora")) << "no welcome page";
    // The footer: NSIS's branding line names the product.
    const std::wstring branding = windowText(GetDlgItem(window, 1028));
    EXPECT_EQ(branding.rfind(L"Pelmora ", 0), 0U) << narrow(branding);
    // Next, to a page of the kind that gave the title a trailing blank.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(showsText(L"Choose Install Location")) << "Next did not lead to the folder page";
    // The page shows before its show function has run; give it a moment.
    std::wstring title;
    waitFor(
        [&] {
            title = windowText(window);
            return title.size() > 6 && title.substr(title.size() - 6) == L" Setup";
        },
        milliseconds(3000));
    EXPECT_EQ(title.rfind(L"Pelmora ", 0), 0U) << narrow(title);
    EXPECT_EQ(title.substr(title.size() - 6), L" Setup") << "\"" << narrow(title) << "\"";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(waitForExit(installer.hProcess, kStartDeadline).has_value()) << "the installer stayed after closing";
}

// The module name comes from PELMORA_MODULE, so the script can run the full
// screen saver on these settings afterwards.
TEST(SaverProgram, OptionsDialogSavesToTheRegistry) {
    const char* moduleVariable = std::getenv("PELMORA_MODULE");
    const std::wstring module = widen(moduleVariable != nullptr ? moduleVariable : "saver-program-test");
    const std::wstring key = L"Software\\Pelmora\\" + module;
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    auto saver = start(saverPath(), L"/c --module-name " + module);
    ASSERT_NE(saver.hProcess, nullptr);
    HWND dialog = dialogOf(saver.dwProcessId, IDC_NUMBER);
    ASSERT_NE(dialog, nullptr) << "no options dialog";
    wchar_t shown[32] = {};
    GetDlgItemTextW(dialog, IDC_NUMBER, shown, 32);
    EXPECT_EQ(std::wstring(shown), L"40");
    SetDlgItemTextW(dialog, IDC_NUMBER, L"0");
    SetDlgItemTextW(dialog, IDC_SPHERE_RADII, L"12.5");
    SendDlgItemMessageW(dialog, IDC_LOCAL_FIELDS, BM_SETCHECK, BST_UNCHECKED, 0);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(waitForExit(saver.hProcess, kStartDeadline).has_value()) << "the dialog stayed after OK";
    DWORD code = 99;
    GetExitCodeProcess(saver.hProcess, &code);
    EXPECT_EQ(code, 0U);
    EXPECT_EQ(registryText(key, L"numberOfThings"), L"0");
    EXPECT_EQ(registryText(key, L"sphereRadii"), L"12.5");
    EXPECT_EQ(registryText(key, L"showLocalFields"), L"NO");
    EXPECT_EQ(registryText(key, L"fillSpheres"), L"YES");
    closeProcess(saver);
}

}  // namespace
}  // namespace pelmora

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--pane-owner") {
        return pelmora::runPaneOwner(pelmora::saverPath());
    }
    if (argc == 3 && std::string(argv[1]) == "--plain-host") {
        return pelmora::runPlainHost(pelmora::saverPath(), std::atoi(argv[2]));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
