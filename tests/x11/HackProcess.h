#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pelmora::testing {

// The pelmora program started as a hack, with its standard error captured.
class HackProcess {
public:
    // Starts `program` with `arguments`; `environment` entries replace or add
    // to the test's own (an empty value removes the variable).
    HackProcess(const std::string& program, const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment);
    ~HackProcess();
    HackProcess(const HackProcess&) = delete;
    HackProcess& operator=(const HackProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // The exit code once the process has exited within `timeout`; -1 when it
    // was killed by a signal; empty while it still runs.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    // Everything written to standard error so far.
    std::string standardError();

private:
    void collectExit(int status);

    pid_t pid_ = -1;
    int stderrFd_ = -1;
    std::optional<int> exitCode_;
    std::string stderr_;
};

}  // namespace pelmora::testing
