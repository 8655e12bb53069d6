// The Windows screen saver: pelmora.scr /s, /p HWND, /c[:HWND].
#include <windows.h>

#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "ConfigureMode.h"
#include "ConsoleMessages.h"
#include "FullScreenMode.h"
#include "PreviewMode.h"
#include "SaverArguments.h"
#include "StartSeed.h"
#include "WideText.h"

namespace {

std::vector<std::string> programArguments() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        args.push_back(pelmora::narrow(wide[i]));
    }
    LocalFree(wide);
    return args;
}

void showText(const std::string& text, UINT icon) {
    MessageBoxW(nullptr, pelmora::widen(text).c_str(), L"Pelmora", MB_OK | icon);
}

int runMode(HINSTANCE module, const pelmora::SaverOptions& options) {
    if (options.mode == pelmora::SaverMode::FullScreen || options.mode == pelmora::SaverMode::Preview) {
        // A new layout each start, unless --seed asks for one again.
        pelmora::StartSeed::plant(options.seed);
    }
    switch (options.mode) {
    case pelmora::SaverMode::FullScreen:
        return pelmora::runFullScreen(module, options);
    case pelmora::SaverMode::Preview:
        return pelmora::runPreview(module, options);
    case pelmora::SaverMode::Configure:
        return pelmora::runConfigure(module, options);
    case pelmora::SaverMode::Help:
        showText(pelmora::SaverArguments::helpText(), MB_ICONINFORMATION);
        return 0;
    }
    return 0;
}

// A preview pane's saver only writes; the others have the user looking.
int stopped(const std::string& why, pelmora::SaverMode mode) {
    const std::string message = "stopped: " + why;
    if (mode == pelmora::SaverMode::Preview) {
        pelmora::writeMessage(message);
    } else {
        pelmora::tellUser(message);
    }
    return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE module, HINSTANCE, PWSTR, int) {
    const auto parsed = pelmora::SaverArguments::parse(programArguments());
    if (!parsed.error.empty()) {
        pelmora::writeMessage(parsed.error);
        showText(parsed.error + "\n\n" + pelmora::SaverArguments::helpText(), MB_ICONERROR);
        return 2;
    }
    // The border for what goes wrong while a mode runs (a failed worker,
    // memory running out): one line to say so, and an orderly end, the
    // mode's windows gone with its stack.
    try {
        return runMode(module, parsed.options);
    } catch (const std::exception& failure) {
        return stopped(failure.what(), parsed.options.mode);
    } catch (...) {
        return stopped("an unknown failure", parsed.options.mode);
    }
}
