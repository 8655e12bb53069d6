#pragma once

#include <chrono>
#include <cstdio>

namespace pelmora {

// A one-line progress bar on a terminal: frames done, frames per second and
// the time left. Redraws at most ten times a second; silent when disabled.
class ProgressBar {
public:
    using Clock = std::chrono::steady_clock;

    ProgressBar(std::FILE* out, int total, bool enabled, Clock::time_point start = Clock::now());

    void update(int done, Clock::time_point now = Clock::now());
    void finish();

    // The text of the line for `done` frames after `elapsed` seconds.
    static std::string line(int done, int total, double elapsed);

private:
    std::FILE* out_;
    int total_;
    bool enabled_;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
    bool drawn_ = false;
};

}  // namespace pelmora
