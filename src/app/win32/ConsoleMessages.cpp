#include "ConsoleMessages.h"

#include <windows.h>

#include "WideText.h"

namespace pelmora {

void writeMessage(const std::string& message) {
    const std::string line = "pelmora: " + message + "\n";
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error != nullptr && error != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    OutputDebugStringW(widen(line).c_str());
}

void tellUser(const std::string& message) {
    writeMessage(message);
    MessageBoxW(nullptr, widen("Pelmora " + message).c_str(), L"Pelmora", MB_OK | MB_ICONERROR);
}

}  // namespace pelmora
