#pragma once

#include <cairo.h>

#include <memory>

namespace pelmora {

// Cairo's reference-counted objects held by unique_ptr: each one releases
// its reference when it goes.
struct CairoContextRelease {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct CairoSurfaceRelease {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};

using CairoContextPtr = std::unique_ptr<cairo_t, CairoContextRelease>;
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceRelease>;

}  // namespace pelmora
