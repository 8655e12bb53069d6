#include "DisplayNumber.h"

#include <poll.h>
#include <unistd.h>

namespace pelmora::testing {

std::string readDisplayNumber(int fd, int timeoutMs) {
    std::string text;
    pollfd readable{fd, POLLIN, 0};
    while (text.find('\n') == std::string::npos && poll(&readable, 1, timeoutMs) > 0) {
        char buffer[32];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    const auto newline = text.find('\n');
    return newline == std::string::npos ? std::string() : text.substr(0, newline);
}

}  // namespace pelmora::testing
