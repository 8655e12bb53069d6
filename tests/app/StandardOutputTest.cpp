// The program's own output to a stream that cannot take it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace pelmora {
namespace {

struct Outcome {
    int status = -1;
    std::string errors;
};

// Runs the program with standard output on `target` and reads its errors.
Outcome runInto(const std::string& arguments, const std::string& target) {
    const std::string command =
        "XDG_CONFIG_HOME=/nonexistent/pelmora-test " PELMORA_BINARY " " + arguments + " 2>&1 >" + target;
    Outcome outcome;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return outcome;
    }
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        outcome.errors += buffer;
    }
    const int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

TEST(StandardOutput, AFullOrClosedOutputFailsWithTheReason) {
    if (::access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no /dev/full here";
    }
    for (const char* arguments : {"--help", "--version", "trace --frames 1 --size 100x100"}) {
        SCOPED_TRACE(arguments);
        const Outcome full = runInto(arguments, "/dev/full");
        EXPECT_EQ(full.status, 1);
        EXPECT_NE(full.errors.find("No space left on device"), std::string::npos) << full.errors;
        EXPECT_EQ(full.errors.find('\n'), full.errors.size() - 1) << full.errors;
        const Outcome closed = runInto(arguments, "&-");
        EXPECT_EQ(closed.status, 1);
        EXPECT_NE(closed.errors.find("Bad file descriptor"), std::string::npos) << closed.errors;
        EXPECT_EQ(runInto(arguments, "/dev/null").status, 0);
    }
}

}  // namespace
}  // namespace pelmora
