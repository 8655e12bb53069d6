#include "PngFolderSink.h"

#include <cstdio>
#include <system_error>

namespace pelmora {

bool PngFolderSink::open() {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec || !std::filesystem::is_directory(folder_)) {
        error_ = "cannot make the folder " + folder_.string() + ": " +
                 (ec ? ec.message() : std::string("a file of that name is in the way"));
        return false;
    }
    return true;
}

std::filesystem::path PngFolderSink::fileFor(int index) const {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", index);
    return folder_ / name;
}

bool PngFolderSink::write(cairo_surface_t* frame, int index) {
    const std::filesystem::path file = fileFor(index);
    const cairo_status_t status = cairo_surface_write_to_png(frame, file.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        error_ = "cannot write " + file.string() + ": " + cairo_status_to_string(status);
        return false;
    }
    return true;
}

}  // namespace pelmora
