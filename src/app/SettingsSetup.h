#pragma once

#include <memory>

#include "ProgramOptions.h"
#include "SettingsStore.h"

namespace pelmora {

// The settings stores every mode uses: the key-file store in the user's
// config folder, with the command line's -key value pairs on top for this run;
// for XScreenSaver's hack, the registered defaults in place of the file, so
// that what its settings page passes is all there is.
std::unique_ptr<SettingsStores> makeSettingsStores(const ProgramOptions& options);

}  // namespace pelmora
