#pragma once

// What a host's verbose lines say about its view going out of sight and
// coming back: "...not seen, frames stop after frame N" and "...seen again,
// frames resume". Tests count frames with them.

#include <optional>
#include <string>
#include <vector>

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

// The share of the sphere pixels of a picture taken before the view went out
// of sight that are sphere pixels of one taken after it came back too: near
// 1 when it carried on, low when it started anew or ran on unseen.
inline double sphereOverlap(const std::vector<bool>& before, const std::vector<bool>& after) {
    int spheres = 0;
    int both = 0;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        spheres += before[i] ? 1 : 0;
        both += before[i] && after[i] ? 1 : 0;
    }
    return spheres > 0 ? static_cast<double>(both) / spheres : 0.0;
}

}  // namespace pelmora::testing
