#include "ViewFailure.h"

#include <cstdio>
#include <exception>

namespace pelmora {

void reportViewFailure() {
    try {
        throw;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "pelmora: the view failed (%s); stopping\n", failure.what());
    } catch (...) {
        std::fputs("pelmora: the view failed; stopping\n", stderr);
    }
}

}  // namespace pelmora
