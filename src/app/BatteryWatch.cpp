#include "BatteryWatch.h"

#include <cstdio>
#include <string>

namespace pelmora {

BatteryWatch::BatteryWatch(BatteryPolicy policy, bool verbose) {
    std::string why;
    source_ = UPowerSource::open(why);
    if (!source_) {
        if (verbose) {
            std::fprintf(stderr, "pelmora: %s: frames as on mains power\n", why.c_str());
        }
        return;
    }
    if (verbose && !source_->running()) {
        std::fputs("pelmora: UPower does not run on the system bus: on mains power until it starts\n", stderr);
    }
    gates_.emplace(*source_, policy, verbose ? stderr : nullptr);
}

}  // namespace pelmora
