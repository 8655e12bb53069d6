#include "DummyXorgServer.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "DisplayNumber.h"

namespace pelmora::testing {

namespace {

// What `command` prints, and whether it succeeded.
std::pair<bool, std::string> capture(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return {false, ""};
    }
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    return {pclose(pipe) == 0, output};
}

}  // namespace

DummyXorgServer::DummyXorgServer(std::vector<Monitor> monitors) : monitors_(std::move(monitors)) {
    char pattern[] = "/tmp/pelmora-xorg-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        fail("cannot make a folder for Xorg");
        return;
    }
    folder_ = pattern;
    int width = 0;
    int height = 0;
    for (const Monitor& monitor : monitors_) {
        width += monitor.width;
        height = std::max(height, monitor.height);
    }
    // The virtual screen holds every monitor; the driver makes sixteen
    // outputs, of which the first is connected with the first mode.
    std::ofstream(folder_ + "/xorg.conf") << "Section \"Device\"\n  Identifier \"dummy\"\n  Driver \"dummy\"\n"
                                             "  VideoRam 256000\nEndSection\n"
                                             "Section \"Monitor\"\n  Identifier \"monitor\"\n"
                                             "  HorizSync 5.0 - 1000.0\n  VertRefresh 5.0 - 200.0\nEndSection\n"
                                             "Section \"Screen\"\n  Identifier \"screen\"\n  Device \"dummy\"\n"
                                             "  Monitor \"monitor\"\n  DefaultDepth 24\n  SubSection \"Display\"\n"
                                             "    Depth 24\n    Virtual "
                                          << width << " " << height
                                          << "\n  EndSubSection\nEndSection\n"
                                             "Section \"ServerFlags\"\n  Option \"AutoAddDevices\" \"false\"\n"
                                             "EndSection\n";
    int fds[2];
    if (pipe(fds) != 0) {
        fail("cannot make a pipe for Xorg");
        return;
    }
    const std::string displayFd = std::to_string(fds[1]);
    const std::string config = folder_ + "/xorg.conf";
    const std::string configDir = folder_ + "/xorg.conf.d";
    const std::string logFile = folder_ + "/xorg.log";
    std::filesystem::create_directory(configDir);
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        // Its own standard output and error go to the log's neighbour: the
        // server chatters there about the bus and the console it goes without.
        if (FILE* out = std::freopen((folder_ + "/xorg.out").c_str(), "w", stdout)) {
            dup2(fileno(out), STDERR_FILENO);
        }
        execlp("Xorg", "Xorg", "-displayfd", displayFd.c_str(), "-config", config.c_str(), "-configdir",
               configDir.c_str(), "-logfile", logFile.c_str(), "-nolisten", "tcp", "-noreset", "-novtswitch",
               "-sharevts", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        fail("cannot fork for Xorg");
        return;
    }
    const std::string number = readDisplayNumber(fds[0], 20000);
    close(fds[0]);
    if (number.empty()) {
        fail("Xorg did not start (are xserver-xorg-core and xserver-xorg-video-dummy installed?)");
        return;
    }
    display_ = ":" + number;
    if (!setUpMonitors()) {
        display_.clear();
    }
}

DummyXorgServer::~DummyXorgServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (!folder_.empty()) {
        std::filesystem::remove_all(folder_);
    }
}

bool DummyXorgServer::setUpMonitors() {
    const std::string xrandr = "DISPLAY=" + display_ + " xrandr";
    int x = 0;
    for (std::size_t index = 0; index < monitors_.size(); ++index) {
        const std::string output = "DUMMY" + std::to_string(index);
        const std::string mode = std::to_string(monitors_[index].width) + "x" + std::to_string(monitors_[index].height);
        // The driver knows the common modes; only the first output lists them.
        if (index > 0) {
            capture(xrandr + " --addmode " + output + " " + mode);
        }
        const auto [ok, said] = capture(xrandr + " --output " + output + " --mode " + mode + " --pos " +
                                        std::to_string(x) + "x0");
        if (!ok) {
            fail("xrandr could not set " + output + " to " + mode + ": " + said);
            return false;
        }
        x += monitors_[index].width;
    }
    const auto [listed, monitors] = capture(xrandr + " --listmonitors");
    if (!listed || monitors.find("Monitors: " + std::to_string(monitors_.size())) == std::string::npos) {
        fail("the server does not report " + std::to_string(monitors_.size()) + " monitors: " + monitors);
        return false;
    }
    return true;
}

std::string DummyXorgServer::log() const {
    std::ifstream in(folder_ + "/xorg.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void DummyXorgServer::fail(std::string why) {
    if (error_.empty()) {
        error_ = std::move(why);
    }
}

}  // namespace pelmora::testing
