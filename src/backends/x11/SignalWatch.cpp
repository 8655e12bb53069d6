#include "SignalWatch.h"

#include <sys/signalfd.h>
#include <unistd.h>

namespace pelmora {

SignalWatch::SignalWatch() {
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGHUP);
    if (sigprocmask(SIG_BLOCK, &mask, &previousMask_) != 0) {
        return;
    }
    fd_ = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
}

SignalWatch::~SignalWatch() {
    if (fd_ >= 0) {
        close(fd_);
    }
    sigprocmask(SIG_SETMASK, &previousMask_, nullptr);
}

int SignalWatch::takeSignal() {
    if (fd_ < 0) {
        return 0;
    }
    signalfd_siginfo info{};
    if (read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        return 0;
    }
    return static_cast<int>(info.ssi_signo);
}

}  // namespace pelmora
