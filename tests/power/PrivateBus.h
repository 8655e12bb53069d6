#pragma once

#include <sys/types.h>

#include <string>

namespace pelmora::testing {

// A private D-Bus daemon for one test, standing in for the system bus (tests
// hand its address over as DBUS_SYSTEM_BUS_ADDRESS), so that a mock system
// service never meets the machine's own.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the daemon did not start.
    const std::string& address() const { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
};

}  // namespace pelmora::testing
