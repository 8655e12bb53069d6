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

}  // namespace pelmora
