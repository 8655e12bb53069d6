#include "FrameGate.h"

namespace pelmora {

bool FrameGate::parsePolicy(std::string_view word, BatteryPolicy& policy) {
    if (word == "run") {
        policy = BatteryPolicy::Run;
    } else if (word == "slow") {
        policy = BatteryPolicy::Slow;
    } else if (word == "pause") {
        policy = BatteryPolicy::Pause;
    } else {
        return false;
    }
    return true;
}

}  // namespace pelmora
