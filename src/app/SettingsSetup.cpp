#include "SettingsSetup.h"

#include "ArgumentDomainStores.h"
#include "DefaultsOnlyStores.h"
#include "KeyFileStores.h"

namespace pelmora {

std::unique_ptr<SettingsStores> makeSettingsStores(const ProgramOptions& options) {
    if (options.settingsFromCommandLine) {
        return std::make_unique<ArgumentDomainStores>(std::make_unique<DefaultsOnlyStores>(), options.domain);
    }
    return std::make_unique<ArgumentDomainStores>(std::make_unique<KeyFileStores>(), options.domain);
}

}  // namespace pelmora
