#pragma once

#include <string>

namespace pelmora {

// Writes "pelmora: <message>" to standard error when the saver has one (it
// was started from a console or with its output redirected), and always to
// the debugger's output, where DebugView or Wine's log show it.
void writeMessage(const std::string& message);

// Writes the message as above and shows it in a message box, for what the
// user at the screen must learn (the saver cannot run, and why).
void tellUser(const std::string& message);

}  // namespace pelmora
