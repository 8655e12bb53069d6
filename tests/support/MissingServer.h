#pragma once

// What a test does when a server, daemon or tool it needs is not there.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace pelmora::testing {

// scripts/test.sh, and so CI, sets PELMORA_REQUIRE_SERVERS=1: there every
// server the tests start and every tool they drive has been installed, so one
// that does not start is a fault. Without it (a developer without a display or
// a compositor running ctest by hand) such a test skips.
inline bool serversRequired() {
    const char* value = std::getenv("PELMORA_REQUIRE_SERVERS");
    return value != nullptr && std::string_view(value) != "" && std::string_view(value) != "0";
}

// Fails the running test, or skips it, saying what did not start. Like
// gtest's own FAIL() it only leaves this function: call it as
// `return missingServer(...);`.
inline void missingServer(const std::string& what) {
    if (serversRequired()) {
        FAIL() << "a server, daemon or tool this test needs is missing: " << what;
    }
    GTEST_SKIP() << what << " (skipped: PELMORA_REQUIRE_SERVERS is not set)";
}

}  // namespace pelmora::testing
