#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "HeldOffSource.h"

namespace pelmora {
namespace {

class FakeSource : public IdleSource {
public:
    const char* name() const override { return "fake"; }
    void start(Listener& listener) override { listener_ = &listener; }
    void waitAgain() override { ++waits; }
    bool stillIdle() override { return false; }

    Listener& desktop() { return *listener_; }
    int waits = 0;

private:
    Listener* listener_ = nullptr;
};

class FakeHoldOff : public HoldOff {
public:
    explicit FakeHoldOff(const char* reason) : reason_(reason) {}
    const char* reason() const override { return reason_; }
    void start(std::function<void(bool)> changed) override { changed_ = std::move(changed); }

    // The desktop's answer, as the test gives it.
    void holds(bool holding) const { changed_(holding); }

private:
    const char* reason_;
    std::function<void(bool)> changed_;
};

// What the watcher would hear.
class Heard : public IdleSource::Listener {
public:
    void idleFired() override { events.push_back("idle"); }
    void userActive() override { events.push_back("active"); }
    void inhibitedChanged(bool inhibited) override { events.push_back(inhibited ? "held" : "free"); }

    std::vector<std::string> events;
};

class HeldOffSourceTest : public ::testing::Test {
protected:
    HeldOffSourceTest() {
        auto fake = std::make_unique<FakeSource>();
        source = fake.get();
        auto first = std::make_unique<FakeHoldOff>("an application inhibits idleness");
        auto second = std::make_unique<FakeHoldOff>("the lock screen is up");
        inhibitor = first.get();
        lock = second.get();
        std::vector<std::unique_ptr<HoldOff>> holdOffs;
        holdOffs.push_back(std::move(first));
        holdOffs.push_back(std::move(second));
        held = std::make_unique<HeldOffSource>(std::move(fake), std::move(holdOffs), false);
        held->start(heard);
    }

    FakeSource* source = nullptr;
    FakeHoldOff* inhibitor = nullptr;
    FakeHoldOff* lock = nullptr;
    Heard heard;
    std::unique_ptr<HeldOffSource> held;
};

TEST_F(HeldOffSourceTest, TheListenerHearsOneHoldFromTheFirstThatBeginsToTheLastThatEnds) {
    inhibitor->holds(true);
    lock->holds(true);
    source->desktop().inhibitedChanged(true);
    inhibitor->holds(false);
    source->desktop().inhibitedChanged(false);
    EXPECT_EQ(heard.events, (std::vector<std::string>{"held"}));
    lock->holds(false);
    EXPECT_EQ(heard.events, (std::vector<std::string>{"held", "free"}));
    // A repeated answer changes nothing.
    lock->holds(false);
    inhibitor->holds(true);
    inhibitor->holds(true);
    EXPECT_EQ(heard.events, (std::vector<std::string>{"held", "free", "held"}));
}

TEST_F(HeldOffSourceTest, TheSourcesOwnNewsPassesThrough) {
    source->desktop().idleFired();
    source->desktop().userActive();
    EXPECT_EQ(heard.events, (std::vector<std::string>{"idle", "active"}));
    held->waitAgain();
    EXPECT_EQ(source->waits, 1);
    EXPECT_FALSE(held->stillIdle());
    EXPECT_STREQ(held->name(), "fake");
}

}  // namespace
}  // namespace pelmora
