// The scanner's glue for the standard idle timer, compiled as C++ as
// IdleProtocol.cpp is, and for the same reason the header comes first.
#include "ext-idle-notify-v1-client-protocol.h"

#include "ext-idle-notify-v1-protocol.c"
