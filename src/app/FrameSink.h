#pragma once

#include <cairo.h>

#include <functional>
#include <string>

namespace pelmora {

// Where recorded frames go. Each call returns false on failure, with error()
// saying why; the recording then stops. close() finishes what was written so
// far, also after a failed or stopped write.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual bool open() = 0;
    virtual bool write(cairo_surface_t* frame, int index) = 0;
    virtual bool close() = 0;
    // The absolute path of what the sink writes, for the closing message.
    virtual std::string destination() const = 0;
    // For the message of a run that wrote nothing: what became of the
    // destination (such as "; clip.mp4 is as it was"), or empty.
    virtual std::string untouched() const { return {}; }
    const std::string& error() const { return error_; }
    // Asked now and then while close() waits for slow work to end; when it
    // says yes, the sink gives up and leaves nothing behind.
    void abandonWhen(std::function<bool()> check) { abandon_ = std::move(check); }

protected:
    std::string error_;
    std::function<bool()> abandon_;
};

}  // namespace pelmora
