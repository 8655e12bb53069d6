#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "FrameGate.h"

namespace pelmora {

// Whether anybody can see a host's view, from the separate things the window
// system reports (the window unmapped, covered by others, its monitor
// powered off, the window minimised), each of which alone hides it. Keeps
// the host's frame gate in step and, when asked, says each change on one
// line:
//   "pelmora: window 0x200002 at 0,0: not seen, frames stop after frame 812"
//   "pelmora: window 0x200002 at 0,0: seen again, frames resume"
class Sight {
public:
    enum class Cause : unsigned { Unmapped = 1U << 0U, Covered = 1U << 1U, MonitorOff = 1U << 2U, Minimised = 1U << 3U };

    explicit Sight(FrameGate& gate) : gate_(gate) {}

    // Writes each change to `out` (null: nowhere); `source` names the window
    // or monitor where one process may show several views.
    void reportTo(std::FILE* out, std::string source = {}) {
        report_ = out;
        source_ = std::move(source);
    }

    // `cause` now hides the view (true) or no longer does (false); the view
    // has drawn `framesDrawn` frames so far. True when this changed whether
    // the view is seen.
    bool set(Cause cause, bool hides, std::uint64_t framesDrawn);
    bool hiddenBy(Cause cause) const { return (causes_ & static_cast<unsigned>(cause)) != 0; }
    bool seen() const { return causes_ == 0; }

private:
    FrameGate& gate_;
    unsigned causes_ = 0;
    std::FILE* report_ = nullptr;
    std::string source_;
};

}  // namespace pelmora
