#pragma once

#include <cstdint>
#include <filesystem>

#include "PelmoraView.h"

namespace pelmora::fuzz {

// The most spheres a fuzzed input may run frames with: the frame step is
// N x N, and a few thousand spheres under the sanitizers would make every
// input a timeout without reaching any new code.
constexpr std::int32_t kMostFuzzedSpheres = 400;

// Runs `frames` frames when the population is small enough to afford.
void runFrames(PelmoraView& view, int frames);

// A private folder for one fuzzing process, removed when it ends.
const std::filesystem::path& scratchFolder();

}  // namespace pelmora::fuzz
