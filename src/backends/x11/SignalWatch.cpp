#include "SignalWatch.h"

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iterator>

namespace pelmora {

namespace {

constexpr int kWatched[] = {SIGTERM, SIGINT, SIGHUP};

}  // namespace

SignalWatch::SignalWatch() {
    sigemptyset(&watched_);
    for (const int signal : kWatched) {
        sigaddset(&watched_, signal);
    }
    if (pthread_sigmask(SIG_BLOCK, &watched_, &previousMask_) != 0) {
        return;
    }
    for (const int signal : kWatched) {
        if (sigismember(&previousMask_, signal) == 1) {
            sigdelset(&watched_, signal);
        }
    }
    fd_ = signalfd(-1, &watched_, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) {
        pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
    }
}

SignalWatch::~SignalWatch() {
    if (fd_ < 0) {
        return;
    }
    caught();
    close(fd_);
    if (count_ == 0) {
        restoreMask();
    }
}

void SignalWatch::restoreMask() {
    // A signal that arrives between the last look and the unblocking would
    // be delivered with its default action and kill a program that has
    // finished its work: while the mask comes back the signals are ignored,
    // which also discards one that is pending.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction previous[std::size(kWatched)]{};
    for (std::size_t i = 0; i < std::size(kWatched); ++i) {
        if (sigismember(&watched_, kWatched[i]) == 1) {
            sigaction(kWatched[i], &ignore, &previous[i]);
        }
    }
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
    for (std::size_t i = 0; i < std::size(kWatched); ++i) {
        if (sigismember(&watched_, kWatched[i]) == 1) {
            sigaction(kWatched[i], &previous[i], nullptr);
        }
    }
}

bool SignalWatch::takeOne() {
    signalfd_siginfo info{};
    ssize_t got = 0;
    do {
        got = read(fd_, &info, sizeof info);
    } while (got < 0 && errno == EINTR);
    if (got != static_cast<ssize_t>(sizeof info)) {
        return false;
    }
    if (first_ == 0) {
        first_ = static_cast<int>(info.ssi_signo);
    }
    ++count_;
    return true;
}

int SignalWatch::caught() {
    if (fd_ >= 0) {
        while (takeOne()) {
        }
    }
    return first_;
}

bool SignalWatch::arrivesWithin(std::chrono::milliseconds wait) {
    if (fd_ < 0) {
        return false;
    }
    pollfd entry{fd_, POLLIN, 0};
    const int ready = poll(&entry, 1, static_cast<int>(wait.count()));
    return ready > 0 && takeOne();
}

void SignalWatch::endProcessBy(int signal) {
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    sigaction(signal, &defaults, nullptr);
    // Raised while still blocked, then let through: delivered the moment it
    // is unblocked, whichever thread runs.
    raise(signal);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    // Only a signal whose default action does not end the process gets here.
    std::_Exit(128 + signal);
}

}  // namespace pelmora
