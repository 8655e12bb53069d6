#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PelmoraView.h"
#include "SheetHost.h"

namespace pelmora::testing {

// What a fake control was told and what it answers.
struct FakeControlState {
    float floatValue = 0.0F;
    std::int32_t intValue = 0;
    std::int64_t state = 0;
    int messages = 0;  // every message the view sent
};

class FakeControl : public SheetControl {
public:
    explicit FakeControl(FakeControlState& state) : state_(state) {}
    float floatValue() const override { return ++state_.messages, state_.floatValue; }
    void setFloatValue(float value) override { ++state_.messages, state_.floatValue = value; }
    std::int32_t intValue() const override { return ++state_.messages, state_.intValue; }
    void setIntValue(std::int32_t value) override { ++state_.messages, state_.intValue = value; }
    std::int64_t state() const override { return ++state_.messages, state_.state; }
    void setState(std::int64_t value) override { ++state_.messages, state_.state = value; }

private:
    FakeControlState& state_;
};

struct FakeWindow : SheetWindow {};

// Loads a fake "controlPanel": one window and the eleven controls, whose
// states outlive the view so tests can read them after teardown.
class FakeSheetHost : public SheetHost {
public:
    static constexpr auto kControls = PelmoraView::kControlOutlets;

    bool loadNibNamed(std::string_view name, SheetOwner& owner) override {
        ++loads;
        loadedNames.emplace_back(name);
        if (failLoads) {
            return false;
        }
        for (std::size_t i = 0; i < std::size(kControls); ++i) {
            if (kControls[i] != missingOutlet) {
                owner.connectControl(kControls[i], std::make_unique<FakeControl>(controls[i]));
            }
        }
        auto window = std::make_unique<FakeWindow>();
        loadedWindow = window.get();
        owner.connectWindow("controlPanel", std::move(window));
        return true;
    }
    void endSheet(SheetWindow& sheet, std::int64_t returnCode) override {
        ended.push_back({&sheet, returnCode});
    }
    void endSheet(SheetWindow& sheet) override { ended.push_back({&sheet, kNoReturnCode}); }

    FakeControlState& control(std::string_view name) {
        for (std::size_t i = 0; i < std::size(kControls); ++i) {
            if (name == kControls[i]) {
                return controls[i];
            }
        }
        return controls[0];
    }

    static constexpr std::int64_t kNoReturnCode = -12345;
    struct Ended {
        SheetWindow* sheet;
        std::int64_t returnCode;
    };

    FakeControlState controls[std::size(kControls)];
    std::string missingOutlet;
    bool failLoads = false;
    int loads = 0;
    std::vector<std::string> loadedNames;
    SheetWindow* loadedWindow = nullptr;
    std::vector<Ended> ended;
};

}  // namespace pelmora::testing
