#pragma once

namespace pelmora {

// Flushes and closes standard output. A stream that cannot take what was
// written to it (a full disk, a closed descriptor) must not end the program
// with success, so on failure this writes "pelmora: write error: <reason>"
// to standard error and returns false, as GNU tools do.
bool closeStandardOutput();

}  // namespace pelmora
