// The scanner's glue compiled as C++: the header comes first so that its
// extern "C" declarations give the interface tables external linkage, which a
// namespace-scope const would not otherwise have in C++.
#include "idle-client-protocol.h"

#include "idle-protocol.c"
