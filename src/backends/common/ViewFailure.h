#pragma once

namespace pelmora {

// Says on standard error, in one line, that the view failed by the exception
// being handled, and that the mode stops. Call it from a catch block only.
void reportViewFailure();

}  // namespace pelmora
