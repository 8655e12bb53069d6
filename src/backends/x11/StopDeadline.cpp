#include "StopDeadline.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace pelmora {

StopDeadline::StopDeadline(int signalFd, std::chrono::milliseconds grace)
    : signalFd_(signalFd), doneFd_(eventfd(0, EFD_CLOEXEC)), grace_(grace) {
    if (signalFd_ >= 0 && doneFd_ >= 0) {
        thread_ = std::thread([this] { watch(); });
    }
}

StopDeadline::~StopDeadline() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        while (write(doneFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        thread_.join();
    }
    if (doneFd_ >= 0) {
        close(doneFd_);
    }
}

bool StopDeadline::readable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    for (;;) {
        const int ready = poll(&entry, 1, timeoutMs);
        if (ready >= 0 || errno != EINTR) {
            return ready > 0;
        }
    }
}

void StopDeadline::watch() const {
    pollfd fds[2] = {{doneFd_, POLLIN, 0}, {signalFd_, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            break;
        }
    }
    if (!readable(doneFd_, static_cast<int>(grace_.count()))) {
        _exit(EXIT_SUCCESS);
    }
}

}  // namespace pelmora
