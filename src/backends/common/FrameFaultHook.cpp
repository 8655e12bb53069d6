#include "FrameFaultHook.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace pelmora {

FrameFaultHook::FrameFaultHook() {
    if (const char* text = std::getenv("PELMORA_TEST_FAIL_FRAME"); text != nullptr) {
        failingFrame_ = std::strtoull(text, nullptr, 10);
    }
}

void FrameFaultHook::frameStarting() {
    if (failingFrame_ == 0) {
        return;
    }
    ++frames_;
    if (frames_ == failingFrame_) {
        throw std::runtime_error("frame " + std::to_string(frames_) + " failed as the test asked");
    }
}

}  // namespace pelmora
