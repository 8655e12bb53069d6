#include "Sight.h"

namespace pelmora {

bool Sight::set(Cause cause, bool hides, std::uint64_t framesDrawn) {
    const bool wasSeen = seen();
    const auto bit = static_cast<unsigned>(cause);
    causes_ = hides ? (causes_ | bit) : (causes_ & ~bit);
    if (seen() == wasSeen) {
        return false;
    }
    gate_.setSeen(seen());
    if (report_ != nullptr) {
        const char* separator = source_.empty() ? "" : ": ";
        if (seen()) {
            std::fprintf(report_, "pelmora: %s%sseen again, frames resume\n", source_.c_str(), separator);
        } else {
            std::fprintf(report_, "pelmora: %s%snot seen, frames stop after frame %llu\n", source_.c_str(), separator,
                         static_cast<unsigned long long>(framesDrawn));
        }
        std::fflush(report_);
    }
    return true;
}

}  // namespace pelmora
