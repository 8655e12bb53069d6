#pragma once

#include <memory>
#include <vector>

#include "HoldOff.h"
#include "IdleSource.h"

namespace pelmora {

// An idle source together with what holds the saver off on this desktop:
// the source's own inhibitor news and every hold-off's are one "inhibited"
// to the listener, which changes only when the first begins or the last
// ends. With `verbose`, each change and an idle period that comes while
// something holds are told in one line each.
class HeldOffSource : public IdleSource, private IdleSource::Listener {
public:
    HeldOffSource(std::unique_ptr<IdleSource> source, std::vector<std::unique_ptr<HoldOff>> holdOffs, bool verbose);

    const char* name() const override;
    void start(IdleSource::Listener& listener) override;
    void waitAgain() override;
    bool stillIdle() override;

private:
    void idleFired() override;
    void userActive() override;
    void inhibitedChanged(bool inhibited) override;

    // Slot 0 is the source's own inhibitor, the others the hold-offs'.
    void holds(std::size_t slot, bool holding);
    bool held() const;
    const char* reasons() const;

    std::unique_ptr<IdleSource> source_;
    std::vector<std::unique_ptr<HoldOff>> holdOffs_;
    std::vector<bool> holding_;
    bool verbose_;
    IdleSource::Listener* listener_ = nullptr;
};

}  // namespace pelmora
