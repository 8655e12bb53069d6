// Part 1.3: the frame physics step: per-frame values, the worked example, a
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

TEST(FramePhysicsValues, ContactDistanceSquaredIsFourRadiiSquared) {
    EXPECT_EQ(FramePhysics::contactDistanceSquared(10.0F), 400.0F);
    EXPECT_EQ(FramePhysics::contactDistanceSquared(0.0F), 0.0F);
    EXPECT_EQ(FramePhysics::contactDistanceSquared(2.5F), 25.0F);
    const float r = 10.1F;
    const float square = r * r;
    EXPECT_EQ(bits(FramePhysics::contactDistanceSquared(r)), bits(4.0F * square));
}

TEST(FramePhysicsValues, SpeedScaleIsTheDivisorOverAHundred) {
    EXPECT_EQ(FramePhysics::speedScale(50.0F), 0.5F);
    EXPECT_EQ(FramePhysics::speedScale(100.0F), 1.0F);
    EXPECT_EQ(bits(FramePhysics::speedScale(33.3F)), bits(static_cast<float>(static_cast<double>(33.3F) / 100.0)));
}

// --- The worked example of Part 1.3 ------------------------------------------

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

    // What the Part states, and the exact values the steps give.
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

// --- A literal reference of the Part, run frame after frame -------------------

struct Body {
    float x;
    float y;
    float px;
    float py;
    std::int32_t q;
};

enum class Precision {
    Spec,        // as Part 1.3 states it
    AllSingle,   // s, pushes and field terms in single precision
    WideSum,     // field sums kept in double and rounded once
};

void reflect(float& position, float& velocity, std::int32_t maxLimit) {
    if (position > static_cast<float>(maxLimit) || position < 0.0F) {
        velocity = -velocity;
        if (velocity > 9.0F) velocity = 8.0F;
        if (velocity < -9.0F) velocity = -8.0F;
        position = position > static_cast<float>(maxLimit) ? static_cast<float>(maxLimit) : 0.0F;
    }
}

void referenceFrame(std::vector<Body>& bodies, const PhysicsSettings& settings, const Rect& bounds, float contact,
                    float scale, std::vector<float>& fieldX, std::vector<float>& fieldY, Precision precision) {
    const auto n = static_cast<std::int32_t>(bodies.size());
    std::vector<float> snapX(bodies.size());
    std::vector<float> snapY(bodies.size());
    fieldX.assign(bodies.size(), 0.0F);
    fieldY.assign(bodies.size(), 0.0F);
    for (std::int32_t k = 0; k < n; ++k) {
        snapX[k] = bodies[k].x;
        snapY[k] = bodies[k].y;
    }
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t qi = bodies[i].q;
        fieldX[i] = 0.0F;
        fieldY[i] = 0.0F;
        double wideX = 0.0;
        double wideY = 0.0;
        for (std::int32_t j = 0; j < n; ++j) {
            if (j == i) continue;
            const float dx = bodies[i].x - snapX[j];
            const float dy = bodies[i].y - snapY[j];
            const float s = precision == Precision::AllSingle
                                ? dx * dx + dy * dy
                                : static_cast<float>(static_cast<double>(dx) * static_cast<double>(dx) +
                                                     static_cast<double>(dy) * static_cast<double>(dy));
            if (s == 0.0F) continue;
            if (settings.bouncingEnabled && s < contact) {
                if (precision == Precision::AllSingle) {
                    bodies[j].px = bodies[j].px - (settings.bounceForce * dx) / s;
                    bodies[j].py = bodies[j].py - (settings.bounceForce * dy) / s;
                } else {
                    bodies[j].px = static_cast<float>(static_cast<double>(bodies[j].px) -
                                                      (static_cast<double>(settings.bounceForce) * dx) / s);
                    bodies[j].py = static_cast<float>(static_cast<double>(bodies[j].py) -
                                                      (static_cast<double>(settings.bounceForce) * dy) / s);
                }
            }
            const auto qj = static_cast<float>(bodies[j].q);
            switch (precision) {
                case Precision::Spec:
                    fieldX[i] = static_cast<float>(static_cast<double>(fieldX[i]) +
                                                   (static_cast<double>(qj) * static_cast<double>(dx)) / s);
                    fieldY[i] = static_cast<float>(static_cast<double>(fieldY[i]) +
                                                   (static_cast<double>(qj) * static_cast<double>(dy)) / s);
                    break;
                case Precision::AllSingle:
                    fieldX[i] = fieldX[i] + (qj * dx) / s;
                    fieldY[i] = fieldY[i] + (qj * dy) / s;
                    break;
                case Precision::WideSum:
                    wideX += (static_cast<double>(qj) * dx) / s;
                    wideY += (static_cast<double>(qj) * dy) / s;
                    fieldX[i] = static_cast<float>(wideX);
                    fieldY[i] = static_cast<float>(wideY);
                    break;
            }
        }
        const float factor = static_cast<float>(qi) * settings.electricFieldStrength;
        bodies[i].px = bodies[i].px + factor * fieldX[i];
        bodies[i].py = bodies[i].py + factor * fieldY[i];
        bodies[i].x = bodies[i].x + bodies[i].px * scale;
        bodies[i].y = bodies[i].y + bodies[i].py * scale;
        reflect(bodies[i].x, bodies[i].px, static_cast<std::int32_t>(bounds.width - 20.0));
        reflect(bodies[i].y, bodies[i].py, static_cast<std::int32_t>(bounds.height - 20.0));
    }
}

std::vector<Body> bodiesOf(const std::vector<Vekthing>& things) {
    std::vector<Body> bodies;
    for (const Vekthing& thing : things) {
        bodies.push_back({thing.x(), thing.y(), thing.px(), thing.py(), thing.electricCharge()});
    }
    return bodies;
}

bool sameBits(const std::vector<Vekthing>& things, const std::vector<Body>& bodies) {
    for (std::size_t k = 0; k < things.size(); ++k) {
        if (bits(things[k].x()) != bits(bodies[k].x) || bits(things[k].y()) != bits(bodies[k].y) ||
            bits(things[k].px()) != bits(bodies[k].px) || bits(things[k].py()) != bits(bodies[k].py)) {
            return false;
        }
    }
    return true;
}

bool sameBits(const std::vector<Body>& a, const std::vector<Body>& b) {
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (bits(a[k].x) != bits(b[k].x) || bits(a[k].y) != bits(b[k].y) || bits(a[k].px) != bits(b[k].px) ||
            bits(a[k].py) != bits(b[k].py)) {
            return false;
        }
    }
    return a.size() == b.size();
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (bits(a[k]) != bits(b[k])) return false;
    }
    return a.size() == b.size();
}

class FramePhysicsReference : public ::testing::TestWithParam<bool> {};

TEST_P(FramePhysicsReference, MatchesThePartFrameAfterFrame) {
    const bool bouncing = GetParam();
    // A crowded box, so that contacts, reflections and fractional positions abound.
    const Rect bounds{0.0, 0.0, 260.0, 210.0};
    std::srand(77);
    std::vector<Vekthing> things;
    for (int k = 0; k < 40; ++k) {
        things.emplace_back(3, false, bounds);
    }
    PhysicsSettings settings = settingsWith(bouncing, 2.5F);
    settings.speedDivisor = 37.0F;
    const float contact = FramePhysics::contactDistanceSquared(settings.sphereRadii);
    const float scale = FramePhysics::speedScale(settings.speedDivisor);

    std::vector<Body> spec = bodiesOf(things);
    std::vector<Body> single = spec;
    std::vector<Body> wide = spec;
    std::vector<float> specX, specY, otherX, otherY;
    bool singleDiffers = false;
    bool wideDiffers = false;
    FramePhysics physics;
    for (int frame = 0; frame < 40; ++frame) {
        physics.prepare(static_cast<std::int32_t>(things.size()));
        physics.step(things, settings, bounds, contact, scale);
        referenceFrame(spec, settings, bounds, contact, scale, specX, specY, Precision::Spec);
        ASSERT_TRUE(sameBits(things, spec)) << "frame " << frame;
        ASSERT_TRUE(sameBits(physics.fieldX(), specX)) << "frame " << frame;
        ASSERT_TRUE(sameBits(physics.fieldY(), specY)) << "frame " << frame;

        // The scene is one in which the wrong precisions show.
        referenceFrame(single, settings, bounds, contact, scale, otherX, otherY, Precision::AllSingle);
        singleDiffers = singleDiffers || !sameBits(otherX, specX) || !sameBits(single, spec);
        referenceFrame(wide, settings, bounds, contact, scale, otherX, otherY, Precision::WideSum);
        wideDiffers = wideDiffers || !sameBits(otherX, specX) || !sameBits(wide, spec);
    }
    EXPECT_TRUE(singleDiffers);
    EXPECT_TRUE(wideDiffers);
}

INSTANTIATE_TEST_SUITE_P(BouncingOffAndOn, FramePhysicsReference, ::testing::Values(false, true));

// --- Contact threshold --------------------------------------------------------

// Sphere 1 sits at (x, y) from sphere 0 at (0, 50); both still and neutral.
float pushOnSecond(float x, float y, float radius = 10.0F) {
    std::vector<Vekthing> things{sphere(0.0F, 50.0F, 0.0F, 0.0F, 0), sphere(x, 50.0F + y, 0.0F, 0.0F, 0)};
    FramePhysics physics;
    physics.prepare(2);
    physics.step(things, settingsWith(true), kBounds, FramePhysics::contactDistanceSquared(radius), 0.0F);
    return things[1].px();
}

TEST(FramePhysicsContact, ExactlyTwoRadiiApartIsNotPushed) {
    EXPECT_EQ(pushOnSecond(20.0F, 0.0F), 0.0F);
    EXPECT_EQ(pushOnSecond(12.0F, 16.0F), 0.0F);  // s = 144 + 256 = 400
}

TEST(FramePhysicsContact, JustBelowTwoRadiiIsPushed) {
    const float dx = std::nextafter(20.0F, 0.0F);
    ASSERT_LT(static_cast<float>(static_cast<double>(dx) * dx), 400.0F);
    EXPECT_GT(pushOnSecond(dx, 0.0F), 1.0F);
}

TEST(FramePhysicsContact, ComparesTheSquaredDistanceRoundedToSingle) {
    // The exact squared distance is below 400 but rounds to 400 in single
    // precision: not touching.
    const float dx = std::nextafter(20.0F, 0.0F);
    const float dy = (50.0F + 0.0081F) - 50.0F;
    const double exact = static_cast<double>(dx) * dx + static_cast<double>(dy) * dy;
    ASSERT_LT(exact, 400.0);
    ASSERT_EQ(static_cast<float>(exact), 400.0F);
    EXPECT_EQ(pushOnSecond(std::nextafter(20.0F, 0.0F), 0.0081F), 0.0F);
}

TEST(FramePhysicsContact, RadiusZeroNeverTouches) {
    EXPECT_EQ(pushOnSecond(0.001F, 0.0F, 0.0F), 0.0F);
}

TEST(FramePhysicsContact, BouncingOffLetsSpheresPassThrough) {
    std::vector<Vekthing> things{sphere(100.0F, 100.0F, 1.0F, 0.0F, 0), sphere(105.0F, 100.0F, -1.0F, 0.0F, 0)};
    FramePhysics physics;
    runFrame(physics, things, settingsWith(false));
    EXPECT_EQ(things[0].px(), 1.0F);
    EXPECT_EQ(things[1].px(), -1.0F);
    EXPECT_EQ(things[0].x(), 100.5F);
    EXPECT_EQ(things[1].x(), 104.5F);
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

TEST(FramePhysicsEdges, EmptyListDoesNothing) {
    std::vector<Vekthing> things;
    FramePhysics physics;
    runFrame(physics, things, settingsWith(true));
    EXPECT_EQ(physics.count(), 0);
    EXPECT_TRUE(physics.fieldX().empty());
    EXPECT_TRUE(physics.fieldY().empty());
}

TEST(FramePhysicsEdges, CountZeroLeavesAnUnpreparedListAlone) {
    std::vector<Vekthing> things{sphere(10.0F, 10.0F, 1.0F, 1.0F, 1), sphere(12.0F, 10.0F, 0.0F, 0.0F, 2)};
    FramePhysics physics;
    physics.prepare(0);
    physics.step(things, settingsWith(true), kBounds, 400.0F, 0.5F);
    EXPECT_EQ(things[0].x(), 10.0F);
    EXPECT_EQ(things[1].px(), 0.0F);
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

TEST(FramePhysicsEdges, ZeroChargesKeepTheirVelocities) {
    std::vector<Vekthing> things{sphere(100.0F, 100.0F, 1.0F, 0.0F, 0), sphere(300.0F, 150.0F, 0.0F, -2.0F, 0),
                                 sphere(50.0F, 400.0F, 0.5F, 0.5F, 0)};
    FramePhysics physics;
    runFrame(physics, things, settingsWith(true));
    for (std::size_t k = 0; k < things.size(); ++k) {
        EXPECT_EQ(physics.fieldX()[k], 0.0F);
        EXPECT_EQ(physics.fieldY()[k], 0.0F);
    }
    EXPECT_EQ(things[0].px(), 1.0F);
    EXPECT_EQ(things[1].py(), -2.0F);
    EXPECT_EQ(things[2].x(), 50.25F);
}

TEST(FramePhysicsEdges, FieldStrengthZeroStillFillsTheFields) {
    std::vector<Vekthing> things{sphere(100.0F, 100.0F, 1.0F, 0.0F, 2), sphere(140.0F, 130.0F, 0.0F, 0.0F, -1)};
    FramePhysics physics;
    runFrame(physics, things, settingsWith(false, 0.0F));
    // Field at sphere 0: q1 * (p0 - p1) / |p0 - p1|^2 = -1 * (-40, -30) / 2500.
    EXPECT_EQ(physics.fieldX()[0], static_cast<float>((-1.0 * -40.0) / 2500.0));
    EXPECT_EQ(physics.fieldY()[0], static_cast<float>((-1.0 * -30.0) / 2500.0));
    EXPECT_EQ(physics.fieldX()[1], static_cast<float>((2.0 * 40.0) / 2500.0));
    EXPECT_EQ(things[0].px(), 1.0F);
    EXPECT_EQ(things[1].px(), 0.0F);
    EXPECT_EQ(things[1].py(), 0.0F);
}

TEST(FramePhysicsEdges, LikeChargesRepelAndUnlikeAttract) {
    std::vector<Vekthing> like{sphere(100.0F, 100.0F, 0.0F, 0.0F, 1), sphere(200.0F, 100.0F, 0.0F, 0.0F, 1)};
    std::vector<Vekthing> unlike{sphere(100.0F, 100.0F, 0.0F, 0.0F, 1), sphere(200.0F, 100.0F, 0.0F, 0.0F, -1)};
    FramePhysics physics;
    runFrame(physics, like, settingsWith(false));
    EXPECT_LT(like[0].px(), 0.0F);
    EXPECT_GT(like[1].px(), 0.0F);
    runFrame(physics, unlike, settingsWith(false));
    EXPECT_GT(unlike[0].px(), 0.0F);
    EXPECT_LT(unlike[1].px(), 0.0F);
}

TEST(FramePhysicsEdges, ReadsTheBoundsForEveryMove) {
    std::vector<Vekthing> things{sphere(500.0F, 100.0F, 2.0F, 0.0F, 0)};
    FramePhysics physics;
    runFrame(physics, things, settingsWith(false), Rect{0.0, 0.0, 400.0, 300.0});
    EXPECT_EQ(things[0].x(), 380.0F);
    EXPECT_EQ(things[0].px(), -2.0F);
    EXPECT_EQ(things[0].maxX(), 380);
}

TEST(FramePhysicsEdges, CountBeyondTheListStopsAtItsEnd) {
    std::vector<Vekthing> things{sphere(100.0F, 100.0F, 0.0F, 0.0F, 1)};
    FramePhysics physics;
    physics.prepare(3);
    physics.step(things, settingsWith(true), kBounds, 400.0F, 0.5F);
    ASSERT_EQ(physics.fieldX().size(), 3U);
    EXPECT_EQ(physics.fieldX()[1], 0.0F);
    EXPECT_EQ(physics.fieldY()[2], 0.0F);
}

TEST(FramePhysicsEdges, ScratchStorageIsReusedFromFrameToFrame) {
    std::srand(5);
    std::vector<Vekthing> things;
    for (int k = 0; k < 40; ++k) {
        things.emplace_back(2, true, kBounds);
    }
    FramePhysics physics;
    runFrame(physics, things, settingsWith(true));
    const float* fieldX = physics.fieldX().data();
    const float* fieldY = physics.fieldY().data();
    for (int frame = 0; frame < 5; ++frame) {
        runFrame(physics, things, settingsWith(true));
        EXPECT_EQ(physics.fieldX().data(), fieldX);
        EXPECT_EQ(physics.fieldY().data(), fieldY);
    }
    // A smaller count reuses the same storage too.
    things.resize(10);
    runFrame(physics, things, settingsWith(true));
    EXPECT_EQ(physics.count(), 10);
    EXPECT_EQ(physics.fieldX().size(), 10U);
    EXPECT_EQ(physics.fieldX().data(), fieldX);
}

// --- Mended fault: two spheres on one point ---------------------------------------

TEST(FramePhysicsFaults, CoincidentPairContributesNothing) {
    // Spheres 0 and 1 share a point; sphere 2 is 30 away (no contact).
    std::vector<Vekthing> things{sphere(100.0F, 100.0F, 1.0F, 0.0F, 1), sphere(100.0F, 100.0F, -1.0F, 0.5F, 2),
                                 sphere(130.0F, 100.0F, 0.0F, 0.0F, -1)};
    FramePhysics physics;
    runFrame(physics, things, settingsWith(true));
    // Only sphere 2's term: -1 * (-30) / 900.
    const float fromThird = static_cast<float>(0.0 + (-1.0 * -30.0) / 900.0);
    EXPECT_EQ(bits(physics.fieldX()[0]), bits(fromThird));
    EXPECT_EQ(bits(physics.fieldX()[1]), bits(fromThird));
    EXPECT_EQ(bits(physics.fieldY()[0]), bits(0.0F));
    // No push between them: only the electric force changed the velocities.
    EXPECT_EQ(bits(things[0].px()), bits(1.0F + (1.0F * 2.0F) * fromThird));
    EXPECT_EQ(bits(things[1].px()), bits(-1.0F + (2.0F * 2.0F) * fromThird));
    EXPECT_EQ(things[1].py(), 0.5F);
    for (const Vekthing& thing : things) {
        EXPECT_TRUE(std::isfinite(thing.x()) && std::isfinite(thing.y()));
        EXPECT_TRUE(std::isfinite(thing.px()) && std::isfinite(thing.py()));
    }
}

TEST(FramePhysicsFaults, SquaredDistanceThatRoundsToZeroContributesNothing) {
    // dx = 1e-30: dx * dx = 1e-60 in double, 0 in single.
    std::vector<Vekthing> things{sphere(0.0F, 50.0F, 0.0F, 0.0F, 1), sphere(1e-30F, 50.0F, 0.0F, 0.0F, 1)};
    FramePhysics physics;
    runFrame(physics, things, settingsWith(true));
    EXPECT_EQ(physics.fieldX()[0], 0.0F);
    EXPECT_EQ(physics.fieldX()[1], 0.0F);
    EXPECT_EQ(things[0].px(), 0.0F);
    EXPECT_EQ(things[1].px(), 0.0F);
    EXPECT_EQ(things[0].x(), 0.0F);
    EXPECT_EQ(things[1].x(), 1e-30F);
}

}  // namespace
}  // namespace pelmora
