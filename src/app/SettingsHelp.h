#pragma once

#include <string>

namespace pelmora {

// The settings as `pelmora --help` explains them: in the order the Options
// dialog shows them, each with what it does, the range the dialog offers and
// its default.
class SettingsHelp {
public:
    static std::string text();
};

}  // namespace pelmora
