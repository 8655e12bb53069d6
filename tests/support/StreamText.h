#pragma once

// What a test's temporary stream (std::tmpfile) holds, for tests of code
// that reports to a FILE*.

#include <cstdio>
#include <string>

namespace pelmora::testing {

inline std::string readAll(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, file) != nullptr) {
        text += buffer;
    }
    return text;
}

}  // namespace pelmora::testing
