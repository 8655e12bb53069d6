#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <string>

#include "PowerSource.h"

namespace pelmora {

// The power source as UPower tells it on the system bus: its OnBattery
// property, followed through the property's change signal. A UPower that is
// not running (yet, or any more) means mains; one that starts later is
// followed from then on. Changes come through the default main context.
class UPowerSource : public PowerSource {
public:
    // Null when there is no system bus to ask, with `why` saying so.
    static std::unique_ptr<UPowerSource> open(std::string& why);
    ~UPowerSource() override;
    UPowerSource(const UPowerSource&) = delete;
    UPowerSource& operator=(const UPowerSource&) = delete;

    bool onBattery() const override { return onBattery_; }
    void setChangedHandler(std::function<void(bool onBattery)> changed) override { changed_ = std::move(changed); }
    // Whether UPower answers on the bus now.
    bool running() const;

private:
    explicit UPowerSource(GDBusProxy* proxy);
    static void onPropertiesChanged(GDBusProxy* proxy, GVariant* changed, const gchar* const* invalidated,
                                    gpointer self);
    // What the proxy holds now: false when UPower is gone or says nothing usable.
    bool readOnBattery() const;
    void update();

    GDBusProxy* proxy_;
    bool onBattery_ = false;
    std::function<void(bool)> changed_;
};

}  // namespace pelmora
