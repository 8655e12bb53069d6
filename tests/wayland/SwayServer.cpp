#include "SwayServer.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <thread>

namespace pelmora::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr uid_t kNobody = 65534;

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::string capture(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t count = 0;
        while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, count);
        }
        pclose(pipe);
    }
    return output;
}

bool readPpm(const fs::path& path, Screenshot& shot) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    in >> magic >> shot.width >> shot.height >> maximum;
    in.get();  // the one whitespace byte before the samples
    if (!in || magic != "P6" || maximum != 255 || shot.width <= 0 || shot.height <= 0) {
        return false;
    }
    shot.rgb.resize(static_cast<std::size_t>(shot.width) * static_cast<std::size_t>(shot.height) * 3);
    in.read(reinterpret_cast<char*>(shot.rgb.data()), static_cast<std::streamsize>(shot.rgb.size()));
    return static_cast<std::size_t>(in.gcount()) == shot.rgb.size();
}

}  // namespace

Screenshot::Pixel Screenshot::at(int x, int y) const {
    const std::size_t index = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return {rgb[index], rgb[index + 1], rgb[index + 2]};
}

SwayServer::SwayServer(const std::string& configLines, const SwayServer* parent) {
    char pattern[] = "/tmp/pelmora-sway-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        error_ = "cannot make a directory for sway";
        return;
    }
    base_ = pattern;
    runtime_ = base_ / "run";
    fs::create_directories(runtime_);
    fs::create_directories(base_ / "config-home");
    const bool root = geteuid() == 0;
    chmod(base_.c_str(), 0755);
    chmod(runtime_.c_str(), 0700);
    if (root && chown(runtime_.c_str(), kNobody, kNobody) != 0) {
        error_ = "cannot hand the runtime directory to nobody";
        return;
    }
    const fs::path config = base_ / "config";
    std::ofstream(config) << "xwayland disable\n" << configLines;
    chmod(config.c_str(), 0644);

    std::map<std::string, std::string> environment{
        {"XDG_RUNTIME_DIR", runtime_.string()}, {"WLR_RENDERER", "pixman"}, {"WLR_LIBINPUT_NO_DEVICES", "1"},
        {"WLR_BACKENDS", parent != nullptr ? "wayland" : "headless"},
        {"WAYLAND_DISPLAY", parent != nullptr ? (parent->runtime_ / parent->waylandSocket_).string() : ""},
        {"DISPLAY", ""}, {"SWAYSOCK", ""}, {"I3SOCK", ""}};
    if (root) {
        environment["HOME"] = "/nonexistent";  // nobody's; root's would not be readable
    }
    std::vector<std::string> arguments{"-c", config.string()};
    std::string program = "/usr/bin/sway";
    if (root) {
        arguments.insert(arguments.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
        program = "/usr/bin/setpriv";
    }
    sway_ = std::make_unique<HackProcess>(program, arguments, environment);
    if (!waitUntilUp(30000ms)) {
        error_ = "sway did not come up: " + sway_->standardError();
    }
}

SwayServer::~SwayServer() {
    sway_.reset();  // kills and reaps it
    if (!base_.empty()) {
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }
}

bool SwayServer::waitUntilUp(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end && sway_->running()) {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(runtime_, ignored)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("wayland-", 0) == 0 && name.find(".lock") == std::string::npos) {
                waylandSocket_ = name;
            } else if (name.rfind("sway-ipc.", 0) == 0) {
                ipcSocket_ = entry.path().string();
            }
        }
        if (!waylandSocket_.empty() && !ipcSocket_.empty() && message("-t get_version").find("human_readable") !=
                                                                    std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

std::map<std::string, std::string> SwayServer::clientEnvironment() const {
    return {{"XDG_RUNTIME_DIR", runtime_.string()},
            {"WAYLAND_DISPLAY", waylandSocket_},
            {"SWAYSOCK", ipcSocket_},
            {"XDG_CONFIG_HOME", (base_ / "config-home").string()},
            {"DISPLAY", ""},
            // GTK would otherwise look for an accessibility bus that is not there.
            {"NO_AT_BRIDGE", "1"}};
}

std::string SwayServer::withClientEnvironment(const std::string& command) const {
    std::string line = "env -u DISPLAY";
    for (const auto& [name, value] : clientEnvironment()) {
        if (!value.empty()) {
            line += " " + name + "=" + quoted(value);
        }
    }
    return line + " " + command;
}

std::string SwayServer::message(const std::string& arguments) const {
    return capture(withClientEnvironment("swaymsg -s " + quoted(ipcSocket_) + " " + arguments + " 2>/dev/null"));
}

std::vector<std::string> SwayServer::outputNames() const {
    const std::string json = message("-t get_outputs");
    std::vector<std::string> names;
    static const std::regex name(R"re("name": "([^"]+)")re");
    for (auto match = std::sregex_iterator(json.begin(), json.end(), name); match != std::sregex_iterator(); ++match) {
        names.push_back((*match)[1]);
    }
    return names;
}

std::optional<Screenshot> SwayServer::screenshot(const std::string& output) const {
    const fs::path file = base_ / ("shot-" + output + ".ppm");
    if (runClient("grim -t ppm -o " + quoted(output) + " " + quoted(file.string())) != 0) {
        return std::nullopt;
    }
    if (const char* keep = std::getenv("PELMORA_KEEP_SCREENSHOTS")) {
        // For a person to look at when a test fails.
        std::error_code ignored;
        fs::copy_file(file, fs::path(keep) / (base_.filename().string() + "-" + output + ".ppm"),
                      fs::copy_options::overwrite_existing, ignored);
    }
    Screenshot shot;
    if (!readPpm(file, shot)) {
        return std::nullopt;
    }
    return shot;
}

int SwayServer::runClient(const std::string& command) const {
    const int status = std::system(withClientEnvironment(command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace pelmora::testing
