#include "IdleWatcher.h"

namespace pelmora {

IdleWatcher::IdleWatcher(IdleSource& source, IdleViews& views) : source_(source), views_(views) {}

void IdleWatcher::start() { source_.start(*this); }

void IdleWatcher::stop() {
    if (state_ == State::Showing) {
        views_.hide();
    }
    state_ = State::Ending;
}

void IdleWatcher::idleFired() {
    idle_ = true;
    if (state_ == State::Waiting) {
        show();
    }
}

void IdleWatcher::userActive() {
    idle_ = false;
    if (state_ == State::Showing) {
        views_.hide();
        backToWaiting();
    }
}

void IdleWatcher::inhibitedChanged(bool inhibited) {
    if (state_ == State::Ending) {
        return;
    }
    if (inhibited) {
        // A video started under the saver is meant to be watched.
        if (state_ == State::Showing) {
            views_.hide();
        }
        state_ = State::Inhibited;
    } else if (state_ == State::Inhibited) {
        state_ = State::Waiting;
        if (!idle_) {
            return;
        }
        // The user went idle behind the inhibitor and may still be away; if
        // not, the next idle period counts from their last input.
        if (source_.stillIdle()) {
            show();
        } else {
            idle_ = false;
            source_.waitAgain();
        }
    }
}

void IdleWatcher::show() {
    state_ = State::Showing;
    views_.show([this] { viewsEnded(); });
}

void IdleWatcher::viewsEnded() {
    if (state_ != State::Showing) {
        return;
    }
    idle_ = false;
    backToWaiting();
}

void IdleWatcher::backToWaiting() {
    state_ = State::Waiting;
    source_.waitAgain();
}

}  // namespace pelmora
