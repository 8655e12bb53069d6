#include "ScreenShots.h"

#include <cstdlib>
#include <filesystem>

namespace pelmora::testing {

void saveScreenShot(const std::string& display, const std::string& name) {
    const std::filesystem::path folder = PELMORA_SCREENS_DIR;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::string command = "import -display " + display + " -window root '" + (folder / (name + ".png")).string() +
                                "' 2>/dev/null";
    [[maybe_unused]] const int status = std::system(command.c_str());
}

}  // namespace pelmora::testing
