#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HackProcess.h"

namespace pelmora::testing {

// One screenshot of one output, as grim took it, in device pixels.
struct Screenshot {
    struct Pixel {
        int r;
        int g;
        int b;
    };
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    Pixel at(int x, int y) const;
    // The share of pixels in [x0, x1) × [y0, y1) for which `test` holds.
    template <typename Test>
    double share(int x0, int y0, int x1, int y1, Test test) const {
        long hits = 0;
        long total = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                hits += test(at(x, y)) ? 1 : 0;
                ++total;
            }
        }
        return total == 0 ? 0.0 : static_cast<double>(hits) / static_cast<double>(total);
    }
};

// A private sway for one test: headless with the pixman renderer and no
// input devices, or nested as a client of another sway, whose outputs are
// windows there that can be closed. Sway will not run as root, so as root it
// runs as nobody with a runtime directory of its own, which root's clients
// can still reach.
class SwayServer {
public:
    explicit SwayServer(const std::string& configLines, const SwayServer* parent = nullptr);
    ~SwayServer();
    SwayServer(const SwayServer&) = delete;
    SwayServer& operator=(const SwayServer&) = delete;

    // Empty when the compositor is up; else why it is not.
    const std::string& error() const { return error_; }
    // The variables a client of this compositor needs, for HackProcess:
    // $DISPLAY removed, so GTK cannot fall back to X.
    std::map<std::string, std::string> clientEnvironment() const;
    // swaymsg's standard output for `arguments` (shell words).
    std::string message(const std::string& arguments) const;
    std::vector<std::string> outputNames() const;
    std::optional<Screenshot> screenshot(const std::string& output) const;
    // Runs `command` (shell words) as a client, waiting for it to end; its exit status.
    int runClient(const std::string& command) const;

private:
    std::string withClientEnvironment(const std::string& command) const;
    bool waitUntilUp(std::chrono::milliseconds limit);

    std::filesystem::path base_;
    std::filesystem::path runtime_;
    std::string waylandSocket_;
    std::string ipcSocket_;
    std::unique_ptr<HackProcess> sway_;
    std::string error_;
};

}  // namespace pelmora::testing
