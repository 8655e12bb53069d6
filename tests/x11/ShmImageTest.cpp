// Frames drawn in the hack's memory and handed to the server through shared
// memory, read back from the window.
#include <gtest/gtest.h>

#include <cairo.h>

#include "MissingServer.h"
#include "ShmImage.h"
#include "TestWindow.h"
#include "XvfbServer.h"

namespace pelmora::testing {
namespace {

TEST(ShmImage, PutsWhatCairoDrewOntoTheWindowAndCanBeRemadeForANewSize) {
    XvfbServer server(320, 240);
    if (server.display().empty()) {
        return missingServer(server.error());
    }
    TestWindow window(server.display(), 0, 0, 200, 100);
    ASSERT_TRUE(window.ok());
    Display* display = window.display();
    const int screen = DefaultScreen(display);
    GC gc = XCreateGC(display, window.id(), 0, nullptr);
    for (const auto& [width, height] : {std::pair{200, 100}, std::pair{150, 80}}) {
        auto image = ShmImage::create(display, DefaultVisual(display, screen), DefaultDepth(display, screen), width,
                                      height);
        ASSERT_NE(image, nullptr) << "Xvfb offers MIT-SHM on a local connection";
        cairo_t* cr = cairo_create(image->surface());
        cairo_set_source_rgb(cr, 1.0, 0.0, 0.0);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0.0, 0.0, 1.0);
        cairo_rectangle(cr, 10, 20, 30, 40);
        cairo_fill(cr);
        cairo_destroy(cr);
        image->present(window.id(), gc);
        XSync(display, False);
        const Picture picture = window.picture();
        EXPECT_EQ(picture.at(5, 5).red, 255);
        EXPECT_EQ(picture.at(5, 5).blue, 0);
        EXPECT_EQ(picture.at(20, 30).blue, 255);  // top-down rows, as Cairo's
        EXPECT_EQ(picture.at(20, 30).red, 0);
        EXPECT_EQ(picture.at(width - 1, height - 1).red, 255);
    }
    XFreeGC(display, gc);
}

TEST(ShmImage, RefusesAVisualWhosePixelsAreNotCairos) {
    XvfbServer server(64, 64);
    if (server.display().empty()) {
        return missingServer(server.error());
    }
    TestWindow window(server.display(), 0, 0, 10, 10);
    ASSERT_TRUE(window.ok());
    Display* display = window.display();
    Visual odd = *DefaultVisual(display, DefaultScreen(display));
    odd.red_mask = 0x0000ff;
    odd.blue_mask = 0xff0000;
    EXPECT_EQ(ShmImage::create(display, &odd, 24, 10, 10), nullptr);
    EXPECT_EQ(ShmImage::create(display, DefaultVisual(display, DefaultScreen(display)), 16, 10, 10), nullptr);
}

}  // namespace
}  // namespace pelmora::testing
