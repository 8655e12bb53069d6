#pragma once

#include <string>

namespace pelmora::testing {

// Saves the whole screen of `display` as <build>/test-screens/<name>.png for
// a person to look at; a test's verdict never depends on it.
void saveScreenShot(const std::string& display, const std::string& name);

}  // namespace pelmora::testing
