#include "PrivateBus.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "DisplayNumber.h"

namespace pelmora::testing {

PrivateBus::PrivateBus() {
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    const std::string addressFd = std::to_string(fds[1]);
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        // The session configuration lets any of our own processes own any
        // name, which a system service's mock needs.
        execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nosyslog", "--address=unix:tmpdir=/tmp",
               ("--print-address=" + addressFd).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ > 0) {
        // The daemon writes its address and a newline once it listens.
        address_ = readDisplayNumber(fds[0], 20000);
    }
    close(fds[0]);
}

PrivateBus::~PrivateBus() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

}  // namespace pelmora::testing
