#pragma once

#include "IdleSource.h"
#include "IdleViews.h"

namespace pelmora {

// The resident saver's states: waiting for the user to go idle, held off
// while an application inhibits idleness, showing the views, and ending for
// good. Driven only by the source's events, the views' end and stop(), so
// it keeps no time of its own.
class IdleWatcher : private IdleSource::Listener {
public:
    enum class State { Waiting, Inhibited, Showing, Ending };

    IdleWatcher(IdleSource& source, IdleViews& views);
    IdleWatcher(const IdleWatcher&) = delete;
    IdleWatcher& operator=(const IdleWatcher&) = delete;

    // Starts listening to the source.
    void start();
    // A signal asked the program to end: the views go, nothing shows again.
    void stop();
    State state() const { return state_; }

private:
    void idleFired() override;
    void userActive() override;
    void inhibitedChanged(bool inhibited) override;

    void show();
    void viewsEnded();
    void backToWaiting();

    IdleSource& source_;
    IdleViews& views_;
    State state_ = State::Waiting;
    // Idle fired and no input came since, though an inhibitor held the
    // views off: they show as soon as it lets go.
    bool idle_ = false;
};

}  // namespace pelmora
