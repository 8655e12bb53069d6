#pragma once

// What a host's verbose lines say about its view going out of sight and
// coming back: "...not seen, frames stop after frame N" and "...seen again,
// frames resume". Tests count frames with them.

#include <optional>
#include <string>

namespace pelmora::testing {

// N of the `count`-th "not seen" line in `said` (1 for the first), if it is there.
inline std::optional<long> framesBeforeStop(const std::string& said, int count) {
    const std::string marker = "not seen, frames stop after frame ";
    int seen = 0;
    for (std::size_t at = said.find(marker); at != std::string::npos; at = said.find(marker, at + marker.size())) {
        if (++seen == count) {
            return std::stol(said.substr(at + marker.size()));
        }
    }
    return std::nullopt;
}

// How many times `said` says the view is seen again.
inline int resumptions(const std::string& said) {
    int seen = 0;
    for (std::size_t at = said.find("seen again, frames resume\n"); at != std::string::npos;
         at = said.find("seen again, frames resume\n", at + 1)) {
        ++seen;
    }
    return seen;
}

}  // namespace pelmora::testing
