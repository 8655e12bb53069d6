#pragma once

#include <string>

namespace pelmora::testing {

// Reads what an X server writes to -displayfd (its display number and a
// newline), giving up after `timeoutMs`; empty when none came.
std::string readDisplayNumber(int fd, int timeoutMs);

}  // namespace pelmora::testing
