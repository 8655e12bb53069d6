#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Canvas.h"
#include "FramePhysics.h"
#include "Geometry.h"
#include "SettingsSchema.h"
#include "SettingsStore.h"
#include "SheetHost.h"
#include "Vekthing.h"
#include "ViewHost.h"

namespace pelmora {

// The screen saver's view: loads the settings, owns the spheres, paints one
// frame per tick and runs the configuration sheet.
class PelmoraView : public SheetOwner {
public:
    // The outlets an interface file connects: the sheet's window, then one
    // control per setting, in the settings' order.
    static constexpr std::string_view kWindowOutlet = "controlPanel";
    static constexpr std::array<std::string_view, kSettings.size()> kControlOutlets = [] {
        std::array<std::string_view, kSettings.size()> outlets{};
        for (std::size_t i = 0; i < kSettings.size(); ++i) {
            outlets[i] = kSettings[i].outlet;
        }
        return outlets;
    }();

    // The most spheres a view makes, whatever count the settings hold.
    static constexpr std::int32_t kMostSpheres = 20000;

    // initWithFrame:isPreview:. Loads the settings from the store, builds the
    // label attributes and creates numberOfThings spheres inside `frame`.
    PelmoraView(const Rect& frame, bool isPreview, const ViewHost& host);
    ~PelmoraView() override;
    PelmoraView(const PelmoraView&) = delete;
    PelmoraView& operator=(const PelmoraView&) = delete;

    // One frame: background pulse, physics, then every sphere's field line,
    // disc and label on the host's canvas.
    void animateOneFrame();

    // Sheet actions; the sender is ignored.
    void ok(const void* sender = nullptr);
    void cancel(const void* sender = nullptr);
    bool hasConfigureSheet() const { return true; }
    // Loads and fills the sheet on first use; null when it could not be loaded.
    SheetWindow* configureSheet();

    // The host's view of the view.
    const Rect& bounds() const { return bounds_; }
    void setBounds(const Rect& bounds) { bounds_ = bounds; }
    bool isPreview() const { return isPreview_; }
    double animationTimeInterval() const { return animationTimeInterval_; }
    void setAnimationTimeInterval(double interval) { animationTimeInterval_ = interval; }
    // The most threads a frame's physics may use (0: one per core).
    void setPhysicsThreads(std::int32_t threads) { physics_.setThreads(threads); }

    // SheetOwner: what loading "controlPanel" connects.
    bool connectWindow(std::string_view outlet, std::unique_ptr<SheetWindow> window) override;
    bool connectControl(std::string_view outlet, std::unique_ptr<SheetControl> control) override;
    bool performAction(std::string_view action) override;

    // Read access for hosts, the trace and tests.
    const std::vector<Vekthing>& thingArray() const { return thingArray_; }
    std::vector<Vekthing>& thingArray() { return thingArray_; }
    std::int32_t numberOfThings() const { return numberOfThings_; }
    std::int32_t chargeRange() const { return chargeRange_; }
    std::int32_t backgroundCounter() const { return backgroundCounter_; }
    const Rect& dotRect() const { return dotRect_; }
    bool showLocalFields() const { return showLocalFields_; }
    bool bouncingEnabled() const { return bouncingEnabled_; }
    bool labelsEnabled() const { return labelsEnabled_; }
    bool neutralCharges() const { return neutralCharges_; }
    bool fillSpheres() const { return fillSpheres_; }
    float speedDivisor() const { return speedDivisor_; }
    float electricFieldStrength() const { return electricFieldStrength_; }
    float localFieldDisplay() const { return localFieldDisplay_; }
    float bounceForce() const { return bounceForce_; }
    float sphereRadii() const { return sphereRadii_; }
    const TextAttributes& attributes() const { return *attributes_; }
    SheetWindow* controlPanel() const { return controlPanel_.get(); }

    // Settings result of the last save, for a host that wants to tell the user.
    bool lastSaveSucceeded() const { return lastSaveSucceeded_; }
    const std::string& lastSaveError() const { return lastSaveError_; }

private:
    struct DrawingValues {
        float fieldLineScale = 0.0F;
        std::int32_t quarterRadius = 0;
        std::int32_t halfRadius = 0;
        std::int32_t outsideOffset = 0;
    };

    // Where a setting lives in the view: one of the three, by its type.
    struct SettingField {
        std::string_view key;
        bool PelmoraView::*flag = nullptr;
        float PelmoraView::*number = nullptr;
        std::int32_t PelmoraView::*count = nullptr;
    };
    static const SettingField& fieldOf(std::size_t setting);

    void loadSettings();
    void loadSetting(SettingsStore& store, std::size_t setting);
    void saveSettings(SettingsStore& store);
    void saveSetting(SettingsStore& store, std::size_t setting) const;
    void fillControl(std::size_t setting);
    void readControl(std::size_t setting);
    Color labelColor() const;
    // Width and height of the disc rectangle: twice the radius.
    void sizeDisc();
    // numberOfThings, capped at kMostSpheres.
    std::int32_t populationSize() const;
    void populate();
    PhysicsSettings physicsSettings() const;
    void paintBackground();
    DrawingValues drawingValues() const;
    void drawThing(std::int32_t index, const DrawingValues& drawing);
    void drawFieldLine(const Vekthing& thing, std::int32_t charge, float fieldX, float fieldY, float fieldLineScale);
    void drawLabel(const Vekthing& thing, std::int32_t charge, const DrawingValues& drawing);
    void fillControls();
    void readControls();

    // Host state that the platform's base view would hold.
    Rect bounds_;
    bool isPreview_ = false;
    double animationTimeInterval_ = 0.0;
    ViewHost host_;
    FramePhysics physics_;
    bool lastSaveSucceeded_ = true;
    std::string lastSaveError_;

    // The view's own fields, in declared order; teardown gives up the owned
    // ones in reverse.
    std::int32_t numberOfThings_ = 0;
    std::int32_t chargeRange_ = 0;
    std::int32_t backgroundCounter_ = 0;
    std::vector<Vekthing> thingArray_;
    Rect dotRect_;
    bool showLocalFields_ = false;
    bool bouncingEnabled_ = false;
    bool labelsEnabled_ = false;
    bool neutralCharges_ = false;
    bool fillSpheres_ = false;
    float speedDivisor_ = 0.0F;
    float electricFieldStrength_ = 0.0F;
    float localFieldDisplay_ = 0.0F;
    float bounceForce_ = 0.0F;
    float sphereRadii_ = 0.0F;
    std::unique_ptr<TextAttributes> attributes_;
    std::unique_ptr<SheetWindow> controlPanel_;
    // The sheet's controls, one per setting in the settings' order.
    std::array<std::unique_ptr<SheetControl>, kSettings.size()> controls_;
};

}  // namespace pelmora
