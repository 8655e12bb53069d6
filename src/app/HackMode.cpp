#include "HackMode.h"

#include <cstdio>

namespace pelmora {

int runHackMode(const ProgramOptions&) {
    std::fputs("pelmora: the screen-saver hack mode is not built yet\n", stderr);
    return 1;
}

}  // namespace pelmora
