#pragma once

#include <cairo.h>

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
    const std::string& error() const { return error_; }

protected:
    std::string error_;
};

}  // namespace pelmora
