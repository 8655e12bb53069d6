// All eleven settings through a real settings file: loaded into the view,
// shown by the sheet, read back by OK and saved, each key with a value no
// other key holds, so that two settings mixed up anywhere on the way show.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "FakeSheet.h"
#include "KeyFileStores.h"
#include "PelmoraView.h"
#include "RecordingCanvas.h"
#include "SettingText.h"

namespace pelmora::testing {
namespace {

namespace fs = std::filesystem;

// In the order of the view's fields, with the outlet that shows each.
constexpr std::array<std::pair<const char*, const char*>, 5> kToggles{{{"showLocalFields", "localFieldToggle"},
                                                                      {"bouncingEnabled", "bounceToggle"},
                                                                      {"labelsEnabled", "labelToggle"},
                                                                      {"neutralCharges", "neutralToggle"},
                                                                      {"fillSpheres", "fillToggle"}}};
constexpr std::array<std::pair<const char*, const char*>, 4> kFloats{
    {{"localFieldDisplay", "localFieldDisplayControl"},
     {"speedDivisor", "speedControl"},
     {"electricFieldStrength", "electricFieldStrengthControl"},
     {"sphereRadii", "sphereRadiiControl"}}};
constexpr std::array<std::pair<const char*, const char*>, 2> kIntegers{
    {{"numberOfThings", "numberControl"}, {"chargeRange", "chargeRangeControl"}}};

// One value per setting. The booleans can only be told apart by a pattern in
// which exactly one differs from the rest; the numbers all differ anyway.
struct Values {
    std::array<bool, 5> toggles{};
    std::array<float, 4> floats{};
    std::array<std::int32_t, 2> integers{};

    // Pattern `round` (0 to 9): toggle round % 5 alone on, or alone off.
    static Values forRound(int round) {
        Values values;
        for (std::size_t i = 0; i < values.toggles.size(); ++i) {
            values.toggles[i] = (static_cast<int>(i) == round % 5) == (round < 5);
        }
        const auto shift = static_cast<float>(round);
        values.floats = {123.25F + shift, 7.5F + shift, 0.625F + shift, 3.75F + shift};
        values.integers = {3 + round, 5 + round};
        return values;
    }
};

bool viewToggle(const PelmoraView& view, std::size_t i) {
    const bool fields[] = {view.showLocalFields(), view.bouncingEnabled(), view.labelsEnabled(),
                           view.neutralCharges(), view.fillSpheres()};
    return fields[i];
}

float viewFloat(const PelmoraView& view, std::size_t i) {
    const float fields[] = {view.localFieldDisplay(), view.speedDivisor(), view.electricFieldStrength(),
                            view.sphereRadii()};
    return fields[i];
}

std::int32_t viewInteger(const PelmoraView& view, std::size_t i) {
    return i == 0 ? view.numberOfThings() : view.chargeRange();
}

class SettingsRoundTrip : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder_.empty()); }
    void TearDown() override { fs::remove_all(folder_); }

    static fs::path makeFolder() {
        std::string pattern = (fs::temp_directory_path() / "pelmora-roundtrip-XXXXXX").string();
        return ::mkdtemp(pattern.data()) != nullptr ? fs::path(pattern) : fs::path();
    }

    void writeSettings(const Values& values) const {
        std::ofstream out(folder_ / "pelmora.conf");
        out << "[Settings]\n";
        for (std::size_t i = 0; i < kToggles.size(); ++i) {
            out << kToggles[i].first << '=' << formatBoolText(values.toggles[i]) << '\n';
        }
        for (std::size_t i = 0; i < kFloats.size(); ++i) {
            out << kFloats[i].first << '=' << formatFloatText(values.floats[i]) << '\n';
        }
        for (std::size_t i = 0; i < kIntegers.size(); ++i) {
            out << kIntegers[i].first << '=' << values.integers[i] << '\n';
        }
    }

    std::unique_ptr<PelmoraView> makeView() {
        return std::make_unique<PelmoraView>(Rect{0.0, 0.0, 400.0, 300.0}, false,
                                             ViewHost{stores_, "pelmora", canvas_, sheet_});
    }

    static void expectViewHolds(const PelmoraView& view, const Values& values) {
        for (std::size_t i = 0; i < kToggles.size(); ++i) {
            EXPECT_EQ(viewToggle(view, i), values.toggles[i]) << kToggles[i].first;
        }
        for (std::size_t i = 0; i < kFloats.size(); ++i) {
            EXPECT_EQ(viewFloat(view, i), values.floats[i]) << kFloats[i].first;
        }
        for (std::size_t i = 0; i < kIntegers.size(); ++i) {
            EXPECT_EQ(viewInteger(view, i), values.integers[i]) << kIntegers[i].first;
        }
    }

    void expectSheetShows(const Values& values) {
        for (std::size_t i = 0; i < kToggles.size(); ++i) {
            EXPECT_EQ(sheet_.control(kToggles[i].second).state, values.toggles[i] ? 1 : 0) << kToggles[i].second;
        }
        for (std::size_t i = 0; i < kFloats.size(); ++i) {
            EXPECT_EQ(sheet_.control(kFloats[i].second).floatValue, values.floats[i]) << kFloats[i].second;
        }
        for (std::size_t i = 0; i < kIntegers.size(); ++i) {
            EXPECT_EQ(sheet_.control(kIntegers[i].second).intValue, values.integers[i]) << kIntegers[i].second;
        }
    }

    void typeIntoSheet(const Values& values) {
        for (std::size_t i = 0; i < kToggles.size(); ++i) {
            sheet_.control(kToggles[i].second).state = values.toggles[i] ? 1 : 0;
        }
        for (std::size_t i = 0; i < kFloats.size(); ++i) {
            sheet_.control(kFloats[i].second).floatValue = values.floats[i];
        }
        for (std::size_t i = 0; i < kIntegers.size(); ++i) {
            sheet_.control(kIntegers[i].second).intValue = values.integers[i];
        }
    }

    // What the saved file holds, read with a store of its own.
    void expectFileHolds(const Values& values) {
        KeyFileStores reader(folder_, [](const std::string& message) { ADD_FAILURE() << message; });
        auto store = reader.defaultsForModuleWithName("pelmora");
        for (std::size_t i = 0; i < kToggles.size(); ++i) {
            EXPECT_EQ(store->boolForKey(kToggles[i].first), values.toggles[i]) << kToggles[i].first;
        }
        for (std::size_t i = 0; i < kFloats.size(); ++i) {
            EXPECT_EQ(store->floatForKey(kFloats[i].first), values.floats[i]) << kFloats[i].first;
        }
        for (std::size_t i = 0; i < kIntegers.size(); ++i) {
            EXPECT_EQ(store->integerForKey(kIntegers[i].first), values.integers[i]) << kIntegers[i].first;
        }
    }

    fs::path folder_ = makeFolder();
    KeyFileStores stores_{folder_, [](const std::string& message) { ADD_FAILURE() << message; }};
    RecordingCanvas canvas_;
    FakeSheetHost sheet_;
};

TEST_F(SettingsRoundTrip, EveryKeyKeepsItsOwnValueThroughLoadSheetOkAndSave) {
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        const Values stored = Values::forRound(round);
        const Values typed = Values::forRound((round + 3) % 10);
        writeSettings(stored);
        auto view = makeView();
        expectViewHolds(*view, stored);
        ASSERT_NE(view->configureSheet(), nullptr);
        expectSheetShows(stored);

        typeIntoSheet(typed);
        view->ok();
        ASSERT_TRUE(view->lastSaveSucceeded()) << view->lastSaveError();
        expectViewHolds(*view, typed);
        expectFileHolds(typed);
        expectViewHolds(*makeView(), typed);
    }
}

}  // namespace
}  // namespace pelmora::testing
