#include <gtest/gtest.h>

#include <functional>

#include "IdleWatcher.h"

namespace pelmora {
namespace {

using State = IdleWatcher::State;

// Stands for the desktop: the test fires its events by hand.
class FakeSource : public IdleSource {
public:
    const char* name() const override { return "fake"; }
    void start(Listener& listener) override { listener_ = &listener; }
    void waitAgain() override { ++waits; }
    bool stillIdle() override { return idleStill; }

    Listener& desktop() { return *listener_; }
    int waits = 0;
    // What a source that does not report input would find on looking again.
    bool idleStill = true;

private:
    Listener* listener_ = nullptr;
};

class FakeViews : public IdleViews {
public:
    void show(std::function<void()> ended) override {
        ++shown;
        ended_ = std::move(ended);
    }
    void hide() override {
        ++hidden;
        ended_ = nullptr;
    }
    // A key on a view.
    void input() {
        auto ended = std::move(ended_);
        ended_ = nullptr;
        ended();
    }
    bool visible() const { return shown > hidden && ended_ != nullptr; }

    int shown = 0;
    int hidden = 0;

private:
    std::function<void()> ended_;
};

class IdleWatcherTest : public ::testing::Test {
protected:
    void SetUp() override { watcher.start(); }

    FakeSource source;
    FakeViews views;
    IdleWatcher watcher{source, views};
};

TEST_F(IdleWatcherTest, IdleShowsTheViewsAndInputOnThemWaitsForTheNextIdlePeriod) {
    EXPECT_EQ(watcher.state(), State::Waiting);
    EXPECT_EQ(views.shown, 0);
    source.desktop().idleFired();
    EXPECT_EQ(watcher.state(), State::Showing);
    EXPECT_TRUE(views.visible());
    views.input();
    EXPECT_EQ(watcher.state(), State::Waiting);
    EXPECT_EQ(source.waits, 1);
    // The desktop's own word that the user is back changes nothing more.
    source.desktop().userActive();
    EXPECT_EQ(source.waits, 1);
    source.desktop().idleFired();
    EXPECT_EQ(views.shown, 2);
    // Input seen by the desktop before the views ends them too.
    source.desktop().userActive();
    EXPECT_EQ(views.hidden, 1);
    EXPECT_EQ(watcher.state(), State::Waiting);
    EXPECT_EQ(source.waits, 2);
    // A second idle report while showing makes no second set of views.
    source.desktop().idleFired();
    source.desktop().idleFired();
    EXPECT_EQ(views.shown, 3);
}

TEST_F(IdleWatcherTest, AnInhibitorHoldsTheViewsOffAndTheyShowWhenItLetsGoWhileTheUserIsAway) {
    source.desktop().inhibitedChanged(true);
    source.desktop().idleFired();
    EXPECT_EQ(watcher.state(), State::Inhibited);
    EXPECT_EQ(views.shown, 0);
    source.desktop().inhibitedChanged(false);
    EXPECT_EQ(watcher.state(), State::Showing);
    EXPECT_EQ(views.shown, 1);

    // A video started under the saver takes the screen back.
    source.desktop().inhibitedChanged(true);
    EXPECT_EQ(views.hidden, 1);
    EXPECT_EQ(watcher.state(), State::Inhibited);
    // The user came back meanwhile: the inhibitor's end shows nothing.
    source.desktop().userActive();
    source.desktop().inhibitedChanged(false);
    EXPECT_EQ(watcher.state(), State::Waiting);
    EXPECT_EQ(views.shown, 1);
}

// A source that does not report input (the X server's idle time) is asked
// when the hold lets go: a user who came back meanwhile (to unlock the
// screen, say) is not shown the saver, and the wait starts again.
TEST_F(IdleWatcherTest, WhenTheHoldLetsGoASourceThatFindsTheUserBackWaitsAgainInstead) {
    source.desktop().inhibitedChanged(true);
    source.desktop().idleFired();
    source.idleStill = false;
    source.desktop().inhibitedChanged(false);
    EXPECT_EQ(views.shown, 0);
    EXPECT_EQ(watcher.state(), State::Waiting);
    EXPECT_EQ(source.waits, 1);
    // Only a new idle period shows the saver now.
    source.desktop().inhibitedChanged(true);
    source.desktop().inhibitedChanged(false);
    EXPECT_EQ(views.shown, 0);
    EXPECT_EQ(source.waits, 1);
    source.desktop().idleFired();
    EXPECT_EQ(views.shown, 1);
}

TEST_F(IdleWatcherTest, StoppingDropsTheViewsAndNothingShowsAfterwards) {
    source.desktop().idleFired();
    watcher.stop();
    EXPECT_EQ(views.hidden, 1);
    EXPECT_EQ(watcher.state(), State::Ending);
    source.desktop().userActive();
    source.desktop().inhibitedChanged(true);
    source.desktop().inhibitedChanged(false);
    source.desktop().idleFired();
    EXPECT_EQ(views.shown, 1);
    EXPECT_EQ(views.hidden, 1);
    EXPECT_EQ(watcher.state(), State::Ending);

    // Stopped while waiting, there is nothing to drop.
    FakeSource quiet;
    FakeViews none;
    IdleWatcher waiting(quiet, none);
    waiting.start();
    waiting.stop();
    EXPECT_EQ(none.hidden, 0);
}

}  // namespace
}  // namespace pelmora
