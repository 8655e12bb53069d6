#include "SaverStores.h"

#include <utility>

#include "ArgumentDomainStores.h"
#include "RegistryStores.h"

namespace pelmora {

std::unique_ptr<SettingsStores> makeSaverStores(const SaverOptions& options,
                                                std::function<void(const std::string&)> warn) {
    return std::make_unique<ArgumentDomainStores>(std::make_unique<RegistryStores>(std::move(warn)), options.domain);
}

}  // namespace pelmora
