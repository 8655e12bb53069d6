#include "HeldOffSource.h"

#include <algorithm>
#include <cstdio>

namespace pelmora {

HeldOffSource::HeldOffSource(std::unique_ptr<IdleSource> source, std::vector<std::unique_ptr<HoldOff>> holdOffs,
                             bool verbose)
    : source_(std::move(source)),
      holdOffs_(std::move(holdOffs)),
      holding_(holdOffs_.size() + 1, false),
      verbose_(verbose) {}

const char* HeldOffSource::name() const { return source_->name(); }

void HeldOffSource::start(IdleSource::Listener& listener) {
    listener_ = &listener;
    source_->start(*this);
    for (std::size_t index = 0; index < holdOffs_.size(); ++index) {
        holdOffs_[index]->start([this, index](bool holding) { holds(index + 1, holding); });
    }
}

void HeldOffSource::waitAgain() { source_->waitAgain(); }

bool HeldOffSource::stillIdle() { return source_->stillIdle(); }

void HeldOffSource::idleFired() {
    if (verbose_) {
        if (held()) {
            std::fprintf(stderr, "pelmora: idle, but %s: no saver\n", reasons());
        } else {
            std::fputs("pelmora: idle\n", stderr);
        }
    }
    listener_->idleFired();
}

void HeldOffSource::userActive() { listener_->userActive(); }

void HeldOffSource::inhibitedChanged(bool inhibited) { holds(0, inhibited); }

void HeldOffSource::holds(std::size_t slot, bool holding) {
    const bool before = held();
    holding_[slot] = holding;
    const bool now = held();
    if (now == before) {
        return;
    }
    if (verbose_) {
        if (now) {
            std::fprintf(stderr, "pelmora: held off: %s\n", reasons());
        } else {
            std::fputs("pelmora: no longer held off\n", stderr);
        }
    }
    listener_->inhibitedChanged(now);
}

bool HeldOffSource::held() const { return std::find(holding_.begin(), holding_.end(), true) != holding_.end(); }

const char* HeldOffSource::reasons() const {
    if (holding_[0]) {
        return "an application inhibits idleness";
    }
    for (std::size_t index = 0; index < holdOffs_.size(); ++index) {
        if (holding_[index + 1]) {
            return holdOffs_[index]->reason();
        }
    }
    return "nothing";
}

}  // namespace pelmora
