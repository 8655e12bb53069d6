#include "StandardOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pelmora {

bool closeStandardOutput() {
    // An earlier write may have failed while later ones, and the flush,
    // found nothing left to write; the failed write's reason is then still
    // in errno, since no call since has failed.
    const bool failedBefore = std::ferror(stdout) != 0;
    const int earlierError = failedBefore ? errno : 0;
    errno = 0;
    bool ok = std::fflush(stdout) == 0;
    int error = errno;
    if (std::fclose(stdout) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && !failedBefore) {
        return true;
    }
    if (error == 0) {
        error = earlierError;
    }
    if (error != 0) {
        std::fprintf(stderr, "pelmora: write error: %s\n", std::strerror(error));
    } else {
        std::fputs("pelmora: write error\n", stderr);
    }
    return false;
}

}  // namespace pelmora
