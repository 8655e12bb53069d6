#pragma once

#include <functional>
#include <memory>
#include <string>

#include "SaverArguments.h"
#include "SettingsStore.h"

namespace pelmora {

// The stores every mode uses: the registry under HKCU\Software\Pelmora,
// with the command line's -key value pairs on top for this run. Messages
// about unusable values go to `warn`.
std::unique_ptr<SettingsStores> makeSaverStores(const SaverOptions& options,
                                                std::function<void(const std::string&)> warn);

}  // namespace pelmora
