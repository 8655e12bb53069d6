// The deadline in a child process of its own, since ending the process is
// what it does.
#include "StopDeadline.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include "SignalWatch.h"

namespace pelmora {
namespace {

using namespace std::chrono_literals;

// Runs `loop` with a signal watch and a deadline of `grace` in a child, sends it
// SIGTERM once it runs, and returns its exit status (empty if it did not end
// within a few seconds, or ended by a signal).
std::optional<int> statusAfterTerm(std::chrono::milliseconds grace, const std::function<int(SignalWatch&)>& loop) {
    int ready[2];
    if (pipe(ready) != 0) {
        return std::nullopt;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        int status = 1;
        {
            SignalWatch signals;
            StopDeadline deadline(signals.fd(), grace);
            const char byte = 1;
            if (write(ready[1], &byte, 1) != 1) {
                _exit(2);
            }
            status = loop(signals);
        }
        _exit(status);
    }
    close(ready[1]);
    char byte = 0;
    const bool started = child > 0 && read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    if (!started) {
        return std::nullopt;
    }
    kill(child, SIGTERM);
    int status = 0;
    for (int tries = 0; tries < 300; ++tries) {
        if (waitpid(child, &status, WNOHANG) == child) {
            return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
        }
        std::this_thread::sleep_for(10ms);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return std::nullopt;
}

TEST(StopDeadline, EndsALoopThatDoesNotLookAtItsSignalsWithStatusZero) {
    const std::optional<int> status = statusAfterTerm(50ms, [](SignalWatch&) {
        for (;;) {
            std::this_thread::sleep_for(1ms);  // a frame that never ends
        }
        return 3;
    });
    ASSERT_TRUE(status.has_value()) << "the child did not end";
    EXPECT_EQ(*status, 0);
}

TEST(StopDeadline, LeavesALoopThatTakesTheSignalInTimeToEndItsOwnWay) {
    // A grace no loaded machine outlasts: the loop must be left to end itself.
    const std::optional<int> status = statusAfterTerm(2000ms, [](SignalWatch& signals) {
        pollfd entry{signals.fd(), POLLIN, 0};
        while (signals.caught() == 0) {
            poll(&entry, 1, 1000);
        }
        return 7;
    });
    ASSERT_TRUE(status.has_value()) << "the child did not end";
    EXPECT_EQ(*status, 7);
}

TEST(StopDeadline, GivesALoopThatIsBusyWhenTheSignalComesItsGrace) {
    // The loop finishes a slow frame before it looks; within the grace it
    // still ends its own way, with its own status.
    const std::optional<int> status = statusAfterTerm(3000ms, [](SignalWatch& signals) {
        pollfd entry{signals.fd(), POLLIN, 0};
        poll(&entry, 1, -1);
        std::this_thread::sleep_for(300ms);
        return signals.caught() != 0 ? 7 : 8;
    });
    ASSERT_TRUE(status.has_value()) << "the child did not end";
    EXPECT_EQ(*status, 7);
}

}  // namespace
}  // namespace pelmora
