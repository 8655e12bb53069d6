// Each case runs in a child process of its own: the watch changes the
// process's signal mask, and some cases end the process by a signal.
#include "SignalWatch.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>

namespace pelmora {
namespace {

using namespace std::chrono_literals;

// The wait status of a child that ran `body`, which returns its exit code.
int statusOf(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

bool blocked(int signal) {
    sigset_t now;
    pthread_sigmask(SIG_SETMASK, nullptr, &now);
    return sigismember(&now, signal) == 1;
}

bool pending(int signal) {
    sigset_t now;
    sigpending(&now);
    return sigismember(&now, signal) == 1;
}

#define CHILD_CHECK(condition, code) \
    if (!(condition)) {              \
        return code;                 \
    }

TEST(SignalWatch, HoldsSignalsUntilAskedAndCountsThem) {
    const int status = statusOf([] {
        SignalWatch watch;
        CHILD_CHECK(watch.fd() >= 0 && watch.caught() == 0 && watch.count() == 0, 10);
        raise(SIGTERM);
        CHILD_CHECK(watch.caught() == SIGTERM && watch.count() == 1, 11);
        raise(SIGINT);
        CHILD_CHECK(watch.caught() == SIGTERM && watch.count() == 2, 12);
        CHILD_CHECK(!watch.arrivesWithin(10ms), 13);
        raise(SIGHUP);
        CHILD_CHECK(watch.arrivesWithin(1000ms) && watch.count() == 3, 14);
        return 0;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(SignalWatch, WithoutASignalTakenTheMaskComesBack) {
    const int status = statusOf([] {
        { const SignalWatch watch; }
        CHILD_CHECK(!blocked(SIGTERM) && !blocked(SIGINT) && !blocked(SIGHUP), 10);
        return 0;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A program stopped by one signal tears down and ends; a second signal during
// that teardown, taken or still pending when the watch ends, must not kill it.
TEST(SignalWatch, AfterASignalASecondOneNeverKillsTheProgramOnItsWayOut) {
    for (const int second : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(second);
        const int taken = statusOf([second] {
            {
                SignalWatch watch;
                raise(SIGTERM);
                CHILD_CHECK(watch.caught() == SIGTERM, 10);
                raise(second);
            }
            raise(second);
            return 0;
        });
        EXPECT_TRUE(WIFEXITED(taken) && WEXITSTATUS(taken) == 0) << taken;
        // Never looked at: the watch ends with the signal pending.
        const int unread = statusOf([second] {
            {
                const SignalWatch watch;
                raise(second);
            }
            return 0;
        });
        EXPECT_TRUE(WIFEXITED(unread) && WEXITSTATUS(unread) == 0) << unread;
    }
}

TEST(SignalWatch, LeavesSignalsTheCallerHoldsBackToTheCaller) {
    const int status = statusOf([] {
        sigset_t hup;
        sigemptyset(&hup);
        sigaddset(&hup, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &hup, nullptr);
        {
            SignalWatch watch;
            raise(SIGHUP);
            CHILD_CHECK(watch.caught() == 0, 10);
        }
        CHILD_CHECK(blocked(SIGHUP) && pending(SIGHUP) && !blocked(SIGTERM), 11);
        return 0;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(SignalWatch, EndsTheProcessByTheSignalItTook) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const int status = statusOf([signal]() -> int {
            SignalWatch watch;
            raise(signal);
            SignalWatch::endProcessBy(watch.caught());
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    }
}

}  // namespace
}  // namespace pelmora
