#include "WindowMode.h"

#include <cstdio>

namespace pelmora {

int runWindowMode(const ProgramOptions&) {
    std::fputs("pelmora: the window mode is not built yet\n", stderr);
    return 1;
}

}  // namespace pelmora
