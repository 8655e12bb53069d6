#include "SettingsSetup.h"

#include "ArgumentDomainStores.h"
#include "KeyFileStores.h"

namespace pelmora {

std::unique_ptr<SettingsStores> makeSettingsStores(const ProgramOptions& options) {
    return std::make_unique<ArgumentDomainStores>(std::make_unique<KeyFileStores>(), options.domain);
}

}  // namespace pelmora
