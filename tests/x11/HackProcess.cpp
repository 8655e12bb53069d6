#include "HackProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

extern char** environ;

namespace pelmora::testing {

namespace {

std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (overrides.count(name) == 0) {
            merged.push_back(text);
        }
    }
    for (const auto& [name, value] : overrides) {
        if (!value.empty()) {
            merged.push_back(name + "=" + value);
        }
    }
    return merged;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

HackProcess::HackProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp = mergedEnvironment(environment);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argPointers = pointersTo(argv);
    std::vector<char*> envPointers = pointersTo(envp);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argPointers.data(), envPointers.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    stderrFd_ = fds[0];
    fcntl(stderrFd_, F_SETFL, O_NONBLOCK);
}

HackProcess::~HackProcess() {
    if (running()) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    if (stderrFd_ >= 0) {
        close(stderrFd_);
    }
}

bool HackProcess::running() {
    if (pid_ <= 0 || exitCode_) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        collectExit(status);
        return false;
    }
    return true;
}

std::optional<int> HackProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return exitCode_;
}

std::string HackProcess::standardError() {
    char buffer[4096];
    ssize_t count = 0;
    while (stderrFd_ >= 0 && (count = read(stderrFd_, buffer, sizeof buffer)) > 0) {
        stderr_.append(buffer, static_cast<std::size_t>(count));
    }
    return stderr_;
}

void HackProcess::collectExit(int status) {
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace pelmora::testing
