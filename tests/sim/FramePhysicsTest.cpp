// The frame physics step: per-frame values, the worked example, a
// step-by-step reference, contact threshold, edge cases and the s == 0 fault.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FramePhysics.h"
#include "RandReplay.h"
#include "Vekthing.h"

namespace pelmora {
namespace {

using test::bits;

const Rect kBounds{0.0, 0.0, 800.0, 600.0};

Vekthing sphere(float x, float y, float px, float py, std::int32_t charge) {
    Vekthing thing;
    thing.set(x, y, px, py);
    thing.setElectricCharge(charge);
    return thing;
}

PhysicsSettings settingsWith(bool bouncing, float strength = 2.0F) {
    PhysicsSettings settings;
    settings.bouncingEnabled = bouncing;
    settings.bounceForce = 30.0F;
    settings.electricFieldStrength = strength;
    settings.speedDivisor = 50.0F;
    settings.sphereRadii = 10.0F;
    return settings;
}

// One whole frame as the view runs it.
void runFrame(FramePhysics& physics, std::vector<Vekthing>& things, const PhysicsSettings& settings,
              const Rect& bounds = kBounds) {
    physics.prepare(static_cast<std::int32_t>(things.size()));
    physics.step(things, settings, bounds, FramePhysics::contactDistanceSquared(settings.sphereRadii),
                 FramePhysics::speedScale(settings.speedDivisor));
}

// --- Per-frame values -------------------------------------------------------

TEST(FramePhysicsValues, ContactDistanceAndSpeedScale) {
    EXPECT_EQ(FramePhysics::contactDistanceSquared(10.0F), 400.0F);
    EXPECT_EQ(FramePhysics::contactDistanceSquared(0.0F), 0.0F);
    const float square = 10.1F * 10.1F;
    EXPECT_EQ(bits(FramePhysics::contactDistanceSquared(10.1F)), bits(4.0F * square));
    EXPECT_EQ(FramePhysics::speedScale(50.0F), 0.5F);
    EXPECT_EQ(bits(FramePhysics::speedScale(33.3F)), bits(static_cast<float>(static_cast<double>(33.3F) / 100.0)));
}

// --- Two touching spheres, worked through ------------------------------------------------

TEST(FramePhysicsExample, TwoTouchingSpheresToTheLastBit) {
    std::vector<Vekthing> things{sphere(50.0F, 50.0F, 1.0F, 0.0F, 1), sphere(60.0F, 50.0F, -1.0F, 0.0F, 1)};
    const PhysicsSettings settings = settingsWith(true);
    FramePhysics physics;
    physics.prepare(2);
    const float contact = FramePhysics::contactDistanceSquared(10.0F);
    const float scale = FramePhysics::speedScale(50.0F);
    ASSERT_EQ(contact, 400.0F);
    ASSERT_EQ(scale, 0.5F);
    physics.step(things, settings, kBounds, contact, scale);

    // The same steps written out: turn of sphere 0.
    float dx = 50.0F - 60.0F;
    float s = static_cast<float>(static_cast<double>(dx) * dx + 0.0 * 0.0);
    ASSERT_EQ(s, 100.0F);
    float px1 = static_cast<float>(static_cast<double>(-1.0F) - (30.0 * dx) / static_cast<double>(s));
    const float field0 = static_cast<float>(0.0 + (1.0 * dx) / static_cast<double>(s));
    float px0 = 1.0F + (1.0F * 2.0F) * field0;
    const float x0 = 50.0F + px0 * 0.5F;
    // Turn of sphere 1: its unmoved position against sphere 0's snapshot.
    dx = 60.0F - 50.0F;
    s = static_cast<float>(static_cast<double>(dx) * dx + 0.0 * 0.0);
    px0 = static_cast<float>(static_cast<double>(px0) - (30.0 * dx) / static_cast<double>(s));
    const float field1 = static_cast<float>(0.0 + (1.0 * dx) / static_cast<double>(s));
    px1 = px1 + (1.0F * 2.0F) * field1;
    const float x1 = 60.0F + px1 * 0.5F;

    // The fields and speeds this pair must come to, and the exact floats the steps give.
    EXPECT_EQ(field0, -0.1F);
    EXPECT_EQ(field1, 0.1F);
    EXPECT_EQ(px0, -2.2F);
    EXPECT_EQ(px1, 2.2F);
    EXPECT_EQ(x0, 0x1.933334p+5F);  // about 50.4
    EXPECT_EQ(x1, 0x1.e8cccdp+5F);  // about 61.1

    EXPECT_EQ(bits(physics.fieldX()[0]), bits(field0));
    EXPECT_EQ(bits(physics.fieldY()[0]), bits(0.0F));
    EXPECT_EQ(bits(physics.fieldX()[1]), bits(field1));
    EXPECT_EQ(bits(physics.fieldY()[1]), bits(0.0F));
    EXPECT_EQ(bits(things[0].x()), bits(x0));
    EXPECT_EQ(bits(things[0].px()), bits(px0));
    EXPECT_EQ(bits(things[1].x()), bits(x1));
    EXPECT_EQ(bits(things[1].px()), bits(px1));
    EXPECT_EQ(things[0].y(), 50.0F);
    EXPECT_EQ(things[1].y(), 50.0F);
    EXPECT_EQ(bits(things[0].py()), bits(0.0F));
    EXPECT_EQ(bits(things[1].py()), bits(0.0F));
}

// --- A step-by-step reference, run frame after frame --------------------------

struct Body {
    float x, y, px, py;
    std::int32_t q;
};

// The step as it must be, and two wrong variants that the scene must tell apart:
// everything in single precision, and field sums kept in double.
enum class Precision { Reference, AllSingle, WideSum };

void reflect(float& position, float& velocity, double extent) {
    const auto limit = static_cast<float>(static_cast<std::int32_t>(extent - 20.0));
    if (position > limit || position < 0.0F) {
        velocity = -velocity;
        if (velocity > 9.0F) velocity = 8.0F;
        if (velocity < -9.0F) velocity = -8.0F;
        position = position > limit ? limit : 0.0F;
    }
}

void referenceFrame(std::vector<Body>& b, const PhysicsSettings& settings, const Rect& bounds, float contact,
                    float scale, std::vector<float>& fieldX, std::vector<float>& fieldY, Precision precision) {
    const auto n = static_cast<std::int32_t>(b.size());
    std::vector<float> snapX, snapY;
    for (const Body& body : b) {
        snapX.push_back(body.x);
        snapY.push_back(body.y);
    }
    fieldX.assign(b.size(), 0.0F);
    fieldY.assign(b.size(), 0.0F);
    const bool single = precision == Precision::AllSingle;
    for (std::int32_t i = 0; i < n; ++i) {
        double wideX = 0.0, wideY = 0.0;
        for (std::int32_t j = 0; j < n; ++j) {
            if (j == i) continue;
            const float dx = b[i].x - snapX[j];
            const float dy = b[i].y - snapY[j];
            const double dxd = dx, dyd = dy;
            const float s = single ? dx * dx + dy * dy : static_cast<float>(dxd * dxd + dyd * dyd);
            if (s == 0.0F) continue;
            if (settings.bouncingEnabled && s < contact) {
                const float force = settings.bounceForce;
                b[j].px = single ? b[j].px - (force * dx) / s
                                 : static_cast<float>(double{b[j].px} - (double{force} * dxd) / double{s});
                b[j].py = single ? b[j].py - (force * dy) / s
                                 : static_cast<float>(double{b[j].py} - (double{force} * dyd) / double{s});
            }
            const auto qj = static_cast<float>(b[j].q);
            wideX += (double{qj} * dxd) / double{s};
            wideY += (double{qj} * dyd) / double{s};
            if (precision == Precision::Reference) {
                fieldX[i] = static_cast<float>(double{fieldX[i]} + (double{qj} * dxd) / double{s});
                fieldY[i] = static_cast<float>(double{fieldY[i]} + (double{qj} * dyd) / double{s});
            } else if (single) {
                fieldX[i] = fieldX[i] + (qj * dx) / s;
                fieldY[i] = fieldY[i] + (qj * dy) / s;
            } else {
                fieldX[i] = static_cast<float>(wideX);
                fieldY[i] = static_cast<float>(wideY);
            }
        }
        const float factor = static_cast<float>(b[i].q) * settings.electricFieldStrength;
        b[i].px = b[i].px + factor * fieldX[i];
        b[i].py = b[i].py + factor * fieldY[i];
        b[i].x = b[i].x + b[i].px * scale;
        b[i].y = b[i].y + b[i].py * scale;
        reflect(b[i].x, b[i].px, bounds.width);
        reflect(b[i].y, b[i].py, bounds.height);
    }
}

std::vector<Body> bodiesOf(const std::vector<Vekthing>& things) {
    std::vector<Body> bodies;
    for (const Vekthing& t : things) {
        bodies.push_back({t.x(), t.y(), t.px(), t.py(), t.electricCharge()});
    }
    return bodies;
}

// Every float of the state as bits, for comparisons to the last bit.
std::vector<std::uint32_t> bitsOf(const std::vector<Body>& bodies, const std::vector<float>& fx,
                                  const std::vector<float>& fy) {
    std::vector<std::uint32_t> out;
    for (const Body& body : bodies) {
        out.insert(out.end(), {bits(body.x), bits(body.y), bits(body.px), bits(body.py)});
    }
    for (std::size_t k = 0; k < fx.size(); ++k) {
        out.insert(out.end(), {bits(fx[k]), bits(fy[k])});
    }
    return out;
}

class FramePhysicsReference : public ::testing::TestWithParam<bool> {};

TEST_P(FramePhysicsReference, MatchesTheStepByStepReferenceFrameAfterFrame) {
    // A crowded box, so that contacts, reflections and fractional positions abound.
    const Rect bounds{0.0, 0.0, 260.0, 210.0};
    std::srand(77);
    std::vector<Vekthing> things;
    for (int k = 0; k < 40; ++k) {
        things.emplace_back(3, false, bounds);
    }
    PhysicsSettings settings = settingsWith(GetParam(), 2.5F);
    const float contact = FramePhysics::contactDistanceSquared(settings.sphereRadii);
    const float scale = FramePhysics::speedScale(37.0F);

    std::vector<Body> reference = bodiesOf(things), single = reference, wide = reference;
    std::vector<float> referenceX, referenceY, otherX, otherY;
    bool singleDiffers = false, wideDiffers = false;
    FramePhysics physics;
    for (int frame = 0; frame < 40; ++frame) {
        physics.prepare(static_cast<std::int32_t>(things.size()));
        physics.step(things, settings, bounds, contact, scale);
        referenceFrame(reference, settings, bounds, contact, scale, referenceX, referenceY, Precision::Reference);
        const auto expected = bitsOf(reference, referenceX, referenceY);
        ASSERT_EQ(bitsOf(bodiesOf(things), physics.fieldX(), physics.fieldY()), expected) << "frame " << frame;

        referenceFrame(single, settings, bounds, contact, scale, otherX, otherY, Precision::AllSingle);
        singleDiffers = singleDiffers || bitsOf(single, otherX, otherY) != expected;
        referenceFrame(wide, settings, bounds, contact, scale, otherX, otherY, Precision::WideSum);
        wideDiffers = wideDiffers || bitsOf(wide, otherX, otherY) != expected;
    }
    EXPECT_TRUE(singleDiffers);
    EXPECT_TRUE(wideDiffers);
}

INSTANTIATE_TEST_SUITE_P(BouncingOffAndOn, FramePhysicsReference, ::testing::Values(false, true));

// --- Contact threshold --------------------------------------------------------

// Sphere 1 sits at (x, y) from sphere 0 at (0, 50); both still and neutral.
// The same frame through the fast step and the plain loop must agree.
float pushOnSecond(float x, float y, float radius = 10.0F) {
    float pushes[2];
    for (const bool reference : {false, true}) {
        std::vector<Vekthing> things{sphere(0.0F, 50.0F, 0.0F, 0.0F, 0), sphere(x, 50.0F + y, 0.0F, 0.0F, 0)};
        FramePhysics physics;
        physics.prepare(2);
        const float contact = FramePhysics::contactDistanceSquared(radius);
        if (reference) {
            physics.stepReference(things, settingsWith(true), kBounds, contact, 0.0F);
        } else {
            physics.step(things, settingsWith(true), kBounds, contact, 0.0F);
        }
        pushes[reference ? 1 : 0] = things[1].px();
    }
    EXPECT_EQ(bits(pushes[0]), bits(pushes[1])) << "the plain loop differs at " << x << ", " << y;
    return pushes[0];
}

// Both ways, each time: a fault in both would agree with itself.
TEST(FramePhysicsContact, TouchesOnlyStrictlyBelowTheSingleRoundedThreshold) {
    EXPECT_EQ(pushOnSecond(20.0F, 0.0F), 0.0F);   // s == 400 exactly
    EXPECT_EQ(pushOnSecond(12.0F, 16.0F), 0.0F);  // 144 + 256
    const float below = std::nextafter(20.0F, 0.0F);
    ASSERT_LT(static_cast<float>(static_cast<double>(below) * below), 400.0F);
    EXPECT_GT(pushOnSecond(below, 0.0F), 1.0F);
    // Exactly below 400 in double, but s rounds to 400 in single: no contact.
    const float dy = (50.0F + 0.0081F) - 50.0F;
    const double exact = static_cast<double>(below) * below + static_cast<double>(dy) * dy;
    ASSERT_LT(exact, 400.0);
    ASSERT_EQ(static_cast<float>(exact), 400.0F);
    EXPECT_EQ(pushOnSecond(below, 0.0081F), 0.0F);
    EXPECT_EQ(pushOnSecond(0.001F, 0.0F, 0.0F), 0.0F);  // radius 0 never touches
}

TEST(FramePhysicsContact, ASphereTouchingSeveralGetsOnePushFromEach) {
    // Sphere 1 between 0 and 2, each 10 away: the pushes cancel in x; sphere 0
    // and sphere 2 are 20 apart and do not touch.
    std::vector<Vekthing> things{sphere(100.0F, 100.0F, 0.0F, 0.0F, 0), sphere(110.0F, 100.0F, 0.0F, 0.0F, 0),
                                 sphere(120.0F, 100.0F, 0.0F, 0.0F, 0)};
    FramePhysics physics;
    runFrame(physics, things, settingsWith(true));
    EXPECT_EQ(things[1].px(), 0.0F);  // +3 from sphere 0, then -3 from sphere 2
    EXPECT_EQ(things[0].px(), -3.0F);
    EXPECT_EQ(things[2].px(), 3.0F);
    // Sphere 2 was pushed in the turn of sphere 1, before it moved.
    EXPECT_EQ(things[2].x(), 121.5F);
    // Sphere 0 moved before its push from sphere 1: it stood still this frame.
    EXPECT_EQ(things[0].x(), 100.0F);
}

// --- Edge cases -----------------------------------------------------------

TEST(FramePhysicsEdges, PassesRunOverTheCountThatPrepareTook) {
    std::vector<Vekthing> none;
    FramePhysics physics;
    runFrame(physics, none, settingsWith(true));
    EXPECT_TRUE(physics.fieldX().empty());
    std::vector<Vekthing> things{sphere(10.0F, 10.0F, 1.0F, 1.0F, 1), sphere(12.0F, 10.0F, 0.0F, 0.0F, 2)};
    physics.prepare(0);
    physics.step(things, settingsWith(true), kBounds, 400.0F, 0.5F);
    EXPECT_EQ(things[0].x(), 10.0F);
    EXPECT_EQ(things[1].px(), 0.0F);
    // A count beyond the list stops at its end; the entries past it read 0.
    things.resize(1);
    physics.prepare(3);
    physics.step(things, settingsWith(true), kBounds, 400.0F, 0.5F);
    ASSERT_EQ(physics.fieldX().size(), 3U);
    EXPECT_EQ(physics.fieldX()[2], 0.0F);
    EXPECT_EQ(physics.fieldY()[1], 0.0F);
}

TEST(FramePhysicsEdges, SingleSphereMovesByItsVelocityAlone) {
    for (const std::int32_t charge : {2, 0, -2}) {
        std::vector<Vekthing> things{sphere(100.0F, 200.0F, 1.5F, -3.0F, charge)};
        FramePhysics physics;
        runFrame(physics, things, settingsWith(true));
        EXPECT_EQ(bits(physics.fieldX()[0]), bits(0.0F));
        EXPECT_EQ(bits(physics.fieldY()[0]), bits(0.0F));
        EXPECT_EQ(things[0].px(), 1.5F);
        EXPECT_EQ(things[0].py(), -3.0F);
        EXPECT_EQ(things[0].x(), 100.75F);
        EXPECT_EQ(things[0].y(), 198.5F);
    }
}

TEST(FramePhysicsEdges, NoForceWithoutChargesOrFieldStrength) {
    FramePhysics physics;
    std::vector<Vekthing> neutral{sphere(100.0F, 100.0F, 1.0F, 0.0F, 0), sphere(300.0F, 150.0F, 0.0F, -2.0F, 0)};
    runFrame(physics, neutral, settingsWith(true));
    EXPECT_EQ(physics.fieldX()[0], 0.0F);
    EXPECT_EQ(physics.fieldY()[1], 0.0F);
    EXPECT_EQ(neutral[0].px(), 1.0F);
    EXPECT_EQ(neutral[1].py(), -2.0F);
    // Strength 0: no force, yet the fields are filled for the drawing pass.
    std::vector<Vekthing> charged{sphere(100.0F, 100.0F, 1.0F, 0.0F, 2), sphere(140.0F, 130.0F, 0.0F, 0.0F, -1)};
    runFrame(physics, charged, settingsWith(false, 0.0F));
    EXPECT_EQ(physics.fieldX()[0], static_cast<float>((-1.0 * -40.0) / 2500.0));
    EXPECT_EQ(physics.fieldY()[0], static_cast<float>((-1.0 * -30.0) / 2500.0));
    EXPECT_EQ(physics.fieldX()[1], static_cast<float>((2.0 * 40.0) / 2500.0));
    EXPECT_EQ(charged[0].px(), 1.0F);
    EXPECT_EQ(charged[1].py(), 0.0F);
}

TEST(FramePhysicsFaults, PairWithSquaredDistanceZeroContributesNothing) {
    // Spheres 0 and 1 share a point; sphere 2 is 30 away (no contact).
    std::vector<Vekthing> things{sphere(100.0F, 100.0F, 1.0F, 0.0F, 1), sphere(100.0F, 100.0F, -1.0F, 0.5F, 2),
                                 sphere(130.0F, 100.0F, 0.0F, 0.0F, -1)};
    FramePhysics physics;
    runFrame(physics, things, settingsWith(true));
    const float fromThird = static_cast<float>(0.0 + (-1.0 * -30.0) / 900.0);
    EXPECT_EQ(bits(physics.fieldX()[0]), bits(fromThird));
    EXPECT_EQ(bits(physics.fieldX()[1]), bits(fromThird));
    EXPECT_EQ(bits(physics.fieldY()[0]), bits(0.0F));
    // No push between them: only the electric force changed the velocities.
    EXPECT_EQ(bits(things[0].px()), bits(1.0F + (1.0F * 2.0F) * fromThird));
    EXPECT_EQ(bits(things[1].px()), bits(-1.0F + (2.0F * 2.0F) * fromThird));
    EXPECT_EQ(things[1].py(), 0.5F);

    // dx = 1e-30: dx * dx is 1e-60 in double and rounds to 0 in single.
    std::vector<Vekthing> close{sphere(0.0F, 50.0F, 0.0F, 0.0F, 1), sphere(1e-30F, 50.0F, 0.0F, 0.0F, 1)};
    runFrame(physics, close, settingsWith(true));
    EXPECT_EQ(physics.fieldX()[0], 0.0F);
    EXPECT_EQ(physics.fieldX()[1], 0.0F);
    EXPECT_EQ(close[0].px(), 0.0F);
    EXPECT_EQ(close[1].px(), 0.0F);
    EXPECT_EQ(close[1].x(), 1e-30F);
}

}  // namespace
}  // namespace pelmora
