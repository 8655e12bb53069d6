// The vector-and-threads frame step against the straightforward loop: every
// field of every sphere and every field sum must match to the bit, frame
// after frame, on every instruction set this machine runs.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "FieldRows.h"
#include "FramePhysics.h"
#include "Vekthing.h"

#if PELMORA_USE_HIGHWAY
#include <hwy/targets.h>
#endif

namespace pelmora {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct Population {
    std::vector<Vekthing> things;
    PhysicsSettings settings;
    Rect bounds{0.0, 0.0, 400.0, 300.0};
};

enum class Kind { Spread, Cluster, Coincident, NonFinite, Extreme, ExactContact };

// Pairs whose squared distance is exactly the contact distance, and pairs a
// little closer: the first must not touch, the second must. The radius is 5
// or 10, so 4 r² and every offset below are exact in single precision.
void placeAtTheContactDistance(Population& population, std::mt19937& random) {
    const float r = std::uniform_int_distribution<int>(0, 1)(random) == 0 ? 5.0F : 10.0F;
    population.settings.sphereRadii = r;
    // A step under 2 r that whole-number positions up to 2^17 still hold exactly.
    const float just = 2.0F * r - 1.0F / 64.0F;
    const std::pair<float, float> offsets[] = {{2.0F * r, 0.0F},
                                               {0.0F, 2.0F * r},
                                               {r * 6.0F / 5.0F, r * 8.0F / 5.0F},
                                               {-r * 8.0F / 5.0F, r * 6.0F / 5.0F},
                                               {just, 0.0F},
                                               {0.0F, -just}};
    auto& things = population.things;
    for (std::size_t k = 1; k < things.size(); k += 2) {
        // Partners on a grid far enough apart that only each pair touches.
        const auto cell = static_cast<float>(k / 2);
        const float x = 30.0F + 60.0F * std::fmod(cell, 6.0F);
        const float y = 30.0F + 60.0F * std::floor(cell / 6.0F);
        const auto& [dx, dy] = offsets[(k / 2) % std::size(offsets)];
        things[k - 1].set(x, y, things[k - 1].px(), things[k - 1].py());
        things[k].set(x + dx, y + dy, things[k].px(), things[k].py());
    }
}

// Spheres placed for the kind of case: spread over the box, packed in a few
// touching clusters, stacked on a few points, with NaN and infinite values,
// with huge charges and strengths, or in pairs exactly at the contact distance.
Population populate(std::int32_t count, Kind kind, bool bouncing, std::uint32_t seed) {
    std::mt19937 random(seed);
    const auto uniform = [&random](float low, float high) {
        return std::uniform_real_distribution<float>(low, high)(random);
    };
    const auto whole = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    Population population;
    population.settings.bouncingEnabled = bouncing;
    population.settings.electricFieldStrength = uniform(-3.0F, 3.0F);
    population.settings.speedDivisor = uniform(1.0F, 90.0F);
    population.settings.sphereRadii = uniform(3.0F, 14.0F);
    for (std::int32_t k = 0; k < count; ++k) {
        Vekthing thing;
        float x = uniform(0.0F, 400.0F);
        float y = uniform(0.0F, 300.0F);
        if (kind == Kind::Cluster || kind == Kind::Coincident) {
            const int cluster = whole(0, 3);
            const float spread = kind == Kind::Cluster ? 12.0F : 0.0F;
            x = 60.0F + 90.0F * static_cast<float>(cluster) + uniform(-spread, spread + 0.001F);
            y = 150.0F + uniform(-spread, spread + 0.001F);
            if (kind == Kind::Coincident && whole(0, 1) == 0) {
                x = static_cast<float>(whole(100, 103));  // whole numbers as creation draws them
                y = 40.0F;
            }
        }
        float px = uniform(-3.0F, 3.0F);
        float py = uniform(-3.0F, 3.0F);
        int charge = whole(-3, 3);
        if (kind == Kind::NonFinite) {
            const float odd[] = {kNaN, kInf, -kInf, -kNaN};
            switch (whole(0, 9)) {
                case 0: x = odd[whole(0, 3)]; break;
                case 1: y = odd[whole(0, 3)]; break;
                case 2: px = odd[whole(0, 3)]; break;
                case 3: py = odd[whole(0, 3)]; break;
                default: break;
            }
        }
        if (kind == Kind::Extreme) {
            charge = whole(0, 1) == 0 ? whole(-2000000000, 2000000000) : whole(-3, 3);
        }
        thing.set(x, y, px, py);
        thing.setElectricCharge(charge);
        population.things.push_back(thing);
    }
    if (kind == Kind::Extreme) {
        population.settings.electricFieldStrength = seed % 2 == 0 ? 3.0e37F : -1.0e30F;
        population.settings.bounceForce = -7.0e36F;
    }
    if (kind == Kind::ExactContact) {
        placeAtTheContactDistance(population, random);
    }
    return population;
}

std::vector<std::uint32_t> stateBits(const std::vector<Vekthing>& things, const FramePhysics& physics) {
    std::vector<std::uint32_t> out;
    for (const Vekthing& t : things) {
        out.insert(out.end(), {std::bit_cast<std::uint32_t>(t.x()), std::bit_cast<std::uint32_t>(t.y()),
                               std::bit_cast<std::uint32_t>(t.px()), std::bit_cast<std::uint32_t>(t.py()),
                               static_cast<std::uint32_t>(t.electricCharge())});
    }
    for (std::size_t k = 0; k < physics.fieldX().size(); ++k) {
        out.insert(out.end(), {std::bit_cast<std::uint32_t>(physics.fieldX()[k]),
                               std::bit_cast<std::uint32_t>(physics.fieldY()[k])});
    }
    return out;
}

// Runs `frames` frames both ways and stops at the first that differs.
void expectSameFrames(Population population, std::int32_t threads, int frames, const std::string& what) {
    std::vector<Vekthing> fast = population.things;
    std::vector<Vekthing> plain = population.things;
    FramePhysics fastPhysics(threads);
    FramePhysics plainPhysics(1);
    const float contact = FramePhysics::contactDistanceSquared(population.settings.sphereRadii);
    const float scale = FramePhysics::speedScale(population.settings.speedDivisor);
    const auto count = static_cast<std::int32_t>(population.things.size());
    for (int frame = 0; frame < frames; ++frame) {
        fastPhysics.prepare(count);
        fastPhysics.step(fast, population.settings, population.bounds, contact, scale);
        if (count <= 2) {
            ASSERT_EQ(fastPhysics.partsOfLastStep(), 1) << what << ": a tiny population woke a worker";
        }
        plainPhysics.prepare(count);
        plainPhysics.stepReference(plain, population.settings, population.bounds, contact, scale);
        ASSERT_EQ(stateBits(fast, fastPhysics), stateBits(plain, plainPhysics)) << what << ", frame " << frame;
    }
}

std::vector<std::int32_t> interestingCounts() {
    std::vector<std::int32_t> counts{0, 1, 2, 3, 5, 7, 31, 40, 97};
    // Around every vector width a target may have (2, 4, 8 and 16 lanes).
    for (const std::int32_t lanes : {2, 4, 8, 16}) {
        counts.insert(counts.end(), {lanes - 1, lanes, lanes + 1, 2 * lanes + 1});
    }
    return counts;
}

void expectSameOnThisTarget(const std::string& target) {
    std::uint32_t seed = 1;
    for (const Kind kind :
         {Kind::Spread, Kind::Cluster, Kind::Coincident, Kind::NonFinite, Kind::Extreme, Kind::ExactContact}) {
        for (const bool bouncing : {false, true}) {
            for (const std::int32_t count : interestingCounts()) {
                const std::string what = target + " kind " + std::to_string(static_cast<int>(kind)) + " bouncing " +
                                         std::to_string(bouncing) + " count " + std::to_string(count);
                expectSameFrames(populate(count, kind, bouncing, ++seed), 1, 12, what);
                if (::testing::Test::HasFatalFailure()) {
                    return;
                }
            }
        }
    }
    // One and two spheres with threads to spare, which stay on the calling
    // thread; then sizes that split across threads, in shares that do not
    // fill whole vectors.
    for (const std::int32_t threads : {2, 3}) {
        for (const std::int32_t count : {1, 2, 211, 1001}) {
            const std::string what = target + " clusters, threads " + std::to_string(threads) + " count " +
                                     std::to_string(count);
            expectSameFrames(populate(count, Kind::Cluster, true, ++seed), threads, 4, what);
            const bool tiny = count <= 2;
            expectSameFrames(populate(count, tiny ? Kind::ExactContact : Kind::NonFinite, true, ++seed), threads, 3,
                             what + (tiny ? " exact contact" : " non-finite"));
            if (::testing::Test::HasFatalFailure()) {
                return;
            }
        }
    }
}

TEST(FramePhysicsFastPath, MatchesTheStraightforwardLoopOnEveryTarget) {
#if PELMORA_USE_HIGHWAY
    const std::vector<std::int64_t> targets = hwy::SupportedAndGeneratedTargets();
    ASSERT_FALSE(targets.empty());
    for (const std::int64_t target : targets) {
        hwy::SetSupportedTargetsForTest(target);
        const std::string name = hwy::TargetName(target);
        ASSERT_EQ(std::string(fieldRowsTarget()), name);  // the dispatch really switched
        expectSameOnThisTarget(name);
        if (HasFatalFailure()) {
            break;
        }
    }
    hwy::SetSupportedTargetsForTest(0);
#else
    expectSameOnThisTarget(fieldRowsTarget());
#endif
}

TEST(FramePhysicsFastPath, ThousandsOfSpheresOnTwoThreads) {
    expectSameFrames(populate(2503, Kind::Spread, true, 99), 2, 2, "2503 spread");
    expectSameFrames(populate(2048, Kind::Cluster, true, 98), 2, 2, "2048 clusters");
}

TEST(FramePhysicsFastPath, ListShorterThanTheCountLeavesZeroFieldsPastItsEnd) {
    // The same object first fills every field, so zeros past the shortened
    // list are written by the step, not left from a fresh allocation.
    for (const bool reference : {false, true}) {
        Population population = populate(12, Kind::Spread, false, 5);
        FramePhysics physics(2);
        const auto frame = [&] {
            physics.prepare(12);
            if (reference) {
                physics.stepReference(population.things, population.settings, population.bounds, 400.0F, 0.5F);
            } else {
                physics.step(population.things, population.settings, population.bounds, 400.0F, 0.5F);
            }
        };
        frame();
        ASSERT_NE(physics.fieldX()[11], 0.0F);
        population.things.resize(9);
        frame();
        ASSERT_EQ(physics.fieldX().size(), 12U);
        for (std::size_t k = 9; k < 12; ++k) {
            EXPECT_EQ(std::bit_cast<std::uint32_t>(physics.fieldX()[k]), 0U) << "reference " << reference << " " << k;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(physics.fieldY()[k]), 0U) << "reference " << reference << " " << k;
        }
    }
}

// Waking the workers pays only for many pairs: a few spheres never do, however
// many threads there are; from kPairsPerExtraThread pairs on one more helps.
TEST(FramePhysicsFastPath, TinyPopulationsStayOnTheCallingThread) {
    for (const std::int32_t threads : {2, 3, 8}) {
        FramePhysics physics(threads);
        for (const std::int32_t count : {0, 1, 2, 3, 199}) {
            Population population = populate(count, Kind::Spread, true, 11);
            physics.prepare(count);
            physics.step(population.things, population.settings, population.bounds, 400.0F, 0.5F);
            EXPECT_EQ(physics.partsOfLastStep(), 1) << threads << " threads, " << count << " spheres";
        }
        Population population = populate(200, Kind::Spread, true, 12);
        physics.prepare(200);
        physics.step(population.things, population.settings, population.bounds, 400.0F, 0.5F);
        EXPECT_EQ(physics.partsOfLastStep(), 2) << threads << " threads, 200 spheres";
    }
}

// Row ranges that start and end inside a vector block, as the threads' shares do.
TEST(FieldRows, AnyRowRangeMatchesTheScalarRowsAndTheirContacts) {
    Population population = populate(53, Kind::Cluster, true, 7);
    std::vector<float> x(53 + kFieldRowsPadding), y(x.size()), charge(x.size());
    for (std::size_t k = 0; k < 53; ++k) {
        x[k] = population.things[k].x();
        y[k] = population.things[k].y();
        charge[k] = static_cast<float>(population.things[k].electricCharge());
    }
    const FieldRowsInput input{x.data(), y.data(), charge.data(), 53, 900.0F, true};
    for (const auto& [begin, end] : {std::pair{0, 53}, std::pair{3, 50}, std::pair{17, 18}, std::pair{20, 20}}) {
        std::vector<float> fastX(53, -1.0F), fastY(53, -1.0F), plainX(53, -1.0F), plainY(53, -1.0F);
        std::vector<Contact> fastContacts, plainContacts;
        computeFieldRows(input, begin, end, fastX.data(), fastY.data(), fastContacts);
        computeFieldRowsScalar(input, begin, end, plainX.data(), plainY.data(), plainContacts);
        EXPECT_EQ(fastX, plainX) << begin << ".." << end;  // rows outside the range stay untouched
        EXPECT_EQ(fastY, plainY) << begin << ".." << end;
        ASSERT_EQ(fastContacts.size(), plainContacts.size()) << begin << ".." << end;
        for (std::size_t k = 0; k < fastContacts.size(); ++k) {
            EXPECT_EQ(fastContacts[k].i, plainContacts[k].i);
            EXPECT_EQ(fastContacts[k].j, plainContacts[k].j);
        }
        if (end - begin > 20) {
            EXPECT_FALSE(plainContacts.empty());  // the clusters really touch
        }
    }
}

// Exactly at the contact distance a pair does not touch; a hair closer it does.
TEST(FieldRows, APairExactlyAtTheContactDistanceDoesNotTouch) {
    const float below = std::nextafter(20.0F, 0.0F);
    // Sphere 0 against 1 (20 along x), 2 (12, 16: 144 + 256) and 3 (a hair under 20 along y).
    std::vector<float> x(4 + kFieldRowsPadding), y(x.size()), charge(x.size());
    const float places[][2] = {{20.0F, 20.0F}, {40.0F, 20.0F}, {8.0F, 4.0F}, {20.0F, 20.0F - below}};
    for (std::size_t k = 0; k < 4; ++k) {
        x[k] = places[k][0];
        y[k] = places[k][1];
    }
    const FieldRowsInput input{x.data(), y.data(), charge.data(), 4, FramePhysics::contactDistanceSquared(10.0F), true};
    std::vector<float> fieldX(4), fieldY(4);
    std::vector<Contact> fast, plain;
    computeFieldRows(input, 0, 1, fieldX.data(), fieldY.data(), fast);
    computeFieldRowsScalar(input, 0, 1, fieldX.data(), fieldY.data(), plain);
    for (const auto* contacts : {&fast, &plain}) {
        ASSERT_EQ(contacts->size(), 1U) << (contacts == &fast ? "vector rows" : "scalar rows");
        EXPECT_EQ((*contacts)[0].j, 3);
    }
}

}  // namespace
}  // namespace pelmora
