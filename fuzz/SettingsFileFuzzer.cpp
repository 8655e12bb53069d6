// A settings file of any bytes: read by the key-file store, loaded by a view
// of a size taken from the input, a few frames, then the sheet's OK, which
// saves; a view made afterwards must load exactly what OK left in force.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "FakeSheet.h"
#include "FuzzFrames.h"
#include "KeyFileStores.h"
#include "PelmoraView.h"
#include "RecordingCanvas.h"

namespace {

using namespace pelmora;

bool sameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool sameSettings(const PelmoraView& a, const PelmoraView& b) {
    return a.showLocalFields() == b.showLocalFields() && a.bouncingEnabled() == b.bouncingEnabled() &&
           a.labelsEnabled() == b.labelsEnabled() && a.neutralCharges() == b.neutralCharges() &&
           a.fillSpheres() == b.fillSpheres() && sameFloat(a.localFieldDisplay(), b.localFieldDisplay()) &&
           sameFloat(a.speedDivisor(), b.speedDivisor()) &&
           sameFloat(a.electricFieldStrength(), b.electricFieldStrength()) &&
           sameFloat(a.sphereRadii(), b.sphereRadii()) && a.numberOfThings() == b.numberOfThings() &&
           a.chargeRange() == b.chargeRange();
}

// A side from 1 to 32767 out of two bytes.
double side(const std::uint8_t* bytes) {
    return static_cast<double>(((bytes[0] << 8) | bytes[1]) % 32767 + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const Rect bounds{0.0, 0.0, side(data), side(data + 2)};
    const std::filesystem::path folder = fuzz::scratchFolder();
    {
        std::ofstream file(folder / "pelmora.conf", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data + 4), static_cast<std::streamsize>(size - 4));
    }
    KeyFileStores stores(folder, [](const std::string&) {});
    RecordingCanvas canvas;
    testing::FakeSheetHost sheet;
    PelmoraView view(bounds, false, ViewHost{stores, "pelmora", canvas, sheet});
    fuzz::runFrames(view, 3);
    if (view.configureSheet() == nullptr) {
        std::abort();
    }
    view.ok();
    if (!view.lastSaveSucceeded()) {
        std::abort();
    }
    canvas.clear();
    fuzz::runFrames(view, 1);

    PelmoraView reloaded(bounds, false, ViewHost{stores, "pelmora", canvas, sheet});
    if (!sameSettings(view, reloaded)) {
        std::abort();
    }
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return 0;
}
