#pragma once

#include <cstddef>

namespace pelmora {

// Writes all `size` bytes to `fd`, going on after short writes and signals.
// False on any other failure, with errno set by write().
bool writeAll(int fd, const void* data, std::size_t size);

}  // namespace pelmora
