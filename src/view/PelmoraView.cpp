#include "PelmoraView.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "SettingsSchema.h"
#include "SettingsStore.h"
#include "Truncation.h"

namespace pelmora {

namespace {

// A count far beyond this would exhaust memory while the spheres are made,
// and its N x N frame step would take minutes; a stored value beyond it is
// almost certainly a typo in the settings file. At this many spheres a
// frame still ends well within a second.
constexpr std::int32_t kMaxThings = PelmoraView::kMostSpheres;

constexpr double kAnimationTimeInterval = 1.0 / 60.0;
constexpr float kBounceForce = 30.0F;

SettingsDefaults registeredDefaults() {
    SettingsDefaults defaults;
    defaults.reserve(kSettingKeys.size());
    for (const SettingKey& entry : kSettingKeys) {
        defaults.emplace_back(std::string(entry.key), std::string(entry.defaultText));
    }
    return defaults;
}

// The store keeps 64-bit integers; the fields take the low 32 bits.
std::int32_t low32(std::int64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

bool isOn(const std::unique_ptr<SheetControl>& toggle) { return toggle->state() == 1; }

std::int64_t stateFor(bool value) { return value ? 1 : 0; }

// "%@%i" with the sign prefix: "+3", " 0", "-2".
std::string chargeLabel(std::int32_t charge) {
    const char* prefix = charge > 0 ? "+" : (charge == 0 ? " " : "");
    return prefix + std::to_string(charge);
}

// A whole-number coordinate for the disc origin and the label point.
double truncated(float coordinate) {
    return static_cast<double>(truncateToInt32(static_cast<double>(coordinate)));
}

}  // namespace

PelmoraView::PelmoraView(const Rect& frame, bool isPreview, const ViewHost& host)
    : bounds_(frame), isPreview_(isPreview), host_(host) {
    loadSettings();
    attributes_ = std::make_unique<TextAttributes>();
    thingArray_.clear();
    attributes_->font = Font{"Helvetica", 12.0};
    attributes_->foregroundColor = labelColor();
    bounceForce_ = kBounceForce;
    sizeDisc();
    backgroundCounter_ = 0;
    populate();
    setAnimationTimeInterval(kAnimationTimeInterval);
}

PelmoraView::~PelmoraView() {
    // Let go in the reverse of the declared order: the controls before the
    // window that holds their widgets, the spheres last.
    fillToggle_.reset();
    neutralToggle_.reset();
    localFieldToggle_.reset();
    labelToggle_.reset();
    bounceToggle_.reset();
    sphereRadiiControl_.reset();
    chargeRangeControl_.reset();
    numberControl_.reset();
    speedControl_.reset();
    electricFieldStrengthControl_.reset();
    localFieldDisplayControl_.reset();
    controlPanel_.reset();
    attributes_.reset();
    thingArray_.clear();
}

void PelmoraView::loadSettings() {
    std::unique_ptr<SettingsStore> store = host_.stores.defaultsForModuleWithName(host_.moduleName);
    store->registerDefaults(registeredDefaults());
    showLocalFields_ = store->boolForKey("showLocalFields");
    bouncingEnabled_ = store->boolForKey("bouncingEnabled");
    labelsEnabled_ = store->boolForKey("labelsEnabled");
    neutralCharges_ = store->boolForKey("neutralCharges");
    fillSpheres_ = store->boolForKey("fillSpheres");
    localFieldDisplay_ = store->floatForKey("localFieldDisplay");
    speedDivisor_ = store->floatForKey("speedDivisor");
    electricFieldStrength_ = store->floatForKey("electricFieldStrength");
    sphereRadii_ = store->floatForKey("sphereRadii");
    numberOfThings_ = low32(store->integerForKey("numberOfThings"));
    chargeRange_ = low32(store->integerForKey("chargeRange"));
}

void PelmoraView::saveSettings(SettingsStore& store) {
    store.setBool(showLocalFields_, "showLocalFields");
    store.setBool(bouncingEnabled_, "bouncingEnabled");
    store.setBool(labelsEnabled_, "labelsEnabled");
    store.setBool(neutralCharges_, "neutralCharges");
    store.setBool(fillSpheres_, "fillSpheres");
    store.setFloat(localFieldDisplay_, "localFieldDisplay");
    store.setFloat(speedDivisor_, "speedDivisor");
    store.setFloat(electricFieldStrength_, "electricFieldStrength");
    store.setFloat(sphereRadii_, "sphereRadii");
    store.setInteger(numberOfThings_, "numberOfThings");
    store.setInteger(chargeRange_, "chargeRange");
    lastSaveSucceeded_ = store.synchronize();
    lastSaveError_ = lastSaveSucceeded_ ? std::string() : store.lastError();
}

Color PelmoraView::labelColor() const {
    // Dark text on a filled disc large enough to hold it, light text elsewhere.
    return fillSpheres_ && static_cast<double>(sphereRadii_) > 8.0 ? Color::black() : Color::white();
}

std::int32_t PelmoraView::populationSize() const {
    return numberOfThings_ < kMaxThings ? numberOfThings_ : kMaxThings;
}

void PelmoraView::populate() {
    const std::int32_t count = populationSize();
    if (count != numberOfThings_ && count > 0) {
        std::fprintf(stderr, "pelmora: numberOfThings %d is more than %d; making %d spheres\n",
                     static_cast<int>(numberOfThings_), static_cast<int>(kMaxThings), static_cast<int>(count));
    }
    if (count > 0) {
        thingArray_.reserve(static_cast<std::size_t>(count));
    }
    for (std::int32_t i = 0; i < count; ++i) {
        thingArray_.emplace_back(chargeRange_, neutralCharges_, bounds());
    }
}

void PelmoraView::animateOneFrame() {
    const auto count = static_cast<std::int32_t>(thingArray_.size());
    physics_.prepare(count);
    paintBackground();
    const float contactDistanceSquared = FramePhysics::contactDistanceSquared(sphereRadii_);
    const float speedScale = FramePhysics::speedScale(speedDivisor_);
    const DrawingValues drawing = drawingValues();
    physics_.step(thingArray_, physicsSettings(), bounds(), contactDistanceSquared, speedScale);
    for (std::int32_t i = 0; i < count; ++i) {
        drawThing(i, drawing);
    }
}

PhysicsSettings PelmoraView::physicsSettings() const {
    PhysicsSettings settings;
    settings.bouncingEnabled = bouncingEnabled_;
    settings.bounceForce = bounceForce_;
    settings.electricFieldStrength = electricFieldStrength_;
    settings.speedDivisor = speedDivisor_;
    settings.sphereRadii = sphereRadii_;
    return settings;
}

void PelmoraView::paintBackground() {
    backgroundCounter_ = wrappingIncrement(backgroundCounter_);
    const double phase = static_cast<double>(static_cast<float>(backgroundCounter_)) / 80.0;
    const auto backgroundBlue = static_cast<float>(0.25 * std::sin(phase) + 0.25);
    host_.canvas.setColor(Color{0.03, 0.05, static_cast<double>(backgroundBlue), 1.0});
    host_.canvas.fillRect(bounds());
}

PelmoraView::DrawingValues PelmoraView::drawingValues() const {
    const auto radius = static_cast<double>(sphereRadii_);
    DrawingValues values;
    values.fieldLineScale = static_cast<float>(2.0 / static_cast<double>(static_cast<float>(chargeRange_)));
    values.quarterRadius = truncateToInt32(radius / 4.0);
    values.halfRadius = truncateToInt32(radius / 2.0);
    values.outsideOffset = truncateToInt32(radius * 1.6);
    return values;
}

void PelmoraView::drawThing(std::int32_t index, const DrawingValues& drawing) {
    const auto slot = static_cast<std::size_t>(index);
    const Vekthing& thing = thingArray_[slot];
    const std::int32_t charge = thing.electricCharge();
    if (showLocalFields_) {
        drawFieldLine(thing, charge, physics_.fieldX()[slot], physics_.fieldY()[slot], drawing.fieldLineScale);
    }
    dotRect_.x = truncated(thing.x());
    dotRect_.y = truncated(thing.y());
    host_.canvas.setColor(thing.color());
    if (fillSpheres_) {
        host_.canvas.fillOval(dotRect_);
    } else {
        host_.canvas.strokeOval(dotRect_);
    }
    if (labelsEnabled_) {
        drawLabel(thing, charge, drawing);
    }
}

void PelmoraView::drawFieldLine(const Vekthing& thing, std::int32_t charge, float fieldX, float fieldY,
                                float fieldLineScale) {
    const auto startX = static_cast<double>(thing.x() + sphereRadii_);
    const auto startY = static_cast<double>(thing.y() + sphereRadii_);
    const float k = localFieldDisplay_ * static_cast<float>(charge) * fieldLineScale;
    const double endX = startX + static_cast<double>(k * fieldX);
    const double endY = startY + static_cast<double>(k * fieldY);
    host_.canvas.setColor(Color::white());
    host_.canvas.setDefaultLineWidth(1.0);
    if (std::isnan(startX) || std::isnan(startY) || std::isnan(endX) || std::isnan(endY)) {
        return;
    }
    host_.canvas.strokeLine(Point{startX, startY}, Point{endX, endY});
}

void PelmoraView::drawLabel(const Vekthing& thing, std::int32_t charge, const DrawingValues& drawing) {
    std::int32_t offsetX = drawing.halfRadius;
    std::int32_t offsetY = drawing.halfRadius;
    if (fillSpheres_) {
        const bool onDisc = static_cast<double>(sphereRadii_) > 8.0;
        offsetX = onDisc ? drawing.quarterRadius : drawing.outsideOffset;
        offsetY = onDisc ? drawing.halfRadius : drawing.outsideOffset;
    }
    const Point at{truncated(thing.x() + static_cast<float>(offsetX)),
                   truncated(thing.y() + static_cast<float>(offsetY))};
    host_.canvas.drawText(chargeLabel(charge), at, *attributes_);
}

SheetWindow* PelmoraView::configureSheet() {
    if (!controlPanel_) {
        host_.sheetHost.loadNibNamed("controlPanel", *this);
        fillControls();
    }
    return controlPanel_.get();
}

void PelmoraView::fillControls() {
    // An outlet the interface file left unconnected is skipped.
    const auto setFloat = [](const std::unique_ptr<SheetControl>& control, float value) {
        if (control) {
            control->setFloatValue(value);
        }
    };
    const auto setInt = [](const std::unique_ptr<SheetControl>& control, std::int32_t value) {
        if (control) {
            control->setIntValue(value);
        }
    };
    const auto setState = [](const std::unique_ptr<SheetControl>& control, bool value) {
        if (control) {
            control->setState(stateFor(value));
        }
    };
    setFloat(electricFieldStrengthControl_, electricFieldStrength_);
    setFloat(localFieldDisplayControl_, localFieldDisplay_);
    setFloat(speedControl_, speedDivisor_);
    setFloat(sphereRadiiControl_, sphereRadii_);
    setInt(numberControl_, numberOfThings_);
    setInt(chargeRangeControl_, chargeRange_);
    setState(localFieldToggle_, showLocalFields_);
    setState(bounceToggle_, bouncingEnabled_);
    setState(labelToggle_, labelsEnabled_);
    setState(neutralToggle_, neutralCharges_);
    setState(fillToggle_, fillSpheres_);
}

void PelmoraView::ok(const void* /*sender*/) {
    std::unique_ptr<SettingsStore> store = host_.stores.defaultsForModuleWithName(host_.moduleName);
    readControls();
    attributes_->foregroundColor = labelColor();
    // The disc follows the new radius with the labels and field lines placed
    // around it; left at the old size it would sit off-centre until restart.
    sizeDisc();
    if (numberControl_) {
        numberOfThings_ = numberControl_->intValue();
    }
    // The capped count: compared with the stored one, an OK that changed
    // nothing would rebuild every sphere of a capped population.
    if (static_cast<std::int64_t>(populationSize()) != static_cast<std::int64_t>(thingArray_.size())) {
        thingArray_.clear();
        populate();
    }
    if (speedControl_) {
        const float speed = speedControl_->floatValue();
        // A speed of 0 would freeze the saver for good; 1 is the slowest sensible speed.
        speedDivisor_ = static_cast<double>(speed) == 0.0 ? 1.0F : speed;
    }
    saveSettings(*store);
    if (controlPanel_) {
        host_.sheetHost.endSheet(*controlPanel_, 1);
    }
}

void PelmoraView::sizeDisc() {
    dotRect_.width = static_cast<double>(sphereRadii_) * 2.0;
    dotRect_.height = static_cast<double>(sphereRadii_) * 2.0;
}

void PelmoraView::readControls() {
    // An outlet the interface file left unconnected keeps its field as it is.
    const auto readFloat = [](const std::unique_ptr<SheetControl>& control, float& field) {
        if (control) {
            field = control->floatValue();
        }
    };
    const auto readToggle = [](const std::unique_ptr<SheetControl>& control, bool& field) {
        if (control) {
            field = isOn(control);
        }
    };
    readFloat(sphereRadiiControl_, sphereRadii_);
    if (chargeRangeControl_) {
        chargeRange_ = chargeRangeControl_->intValue();
    }
    readFloat(localFieldDisplayControl_, localFieldDisplay_);
    readFloat(electricFieldStrengthControl_, electricFieldStrength_);
    readToggle(localFieldToggle_, showLocalFields_);
    readToggle(bounceToggle_, bouncingEnabled_);
    readToggle(labelToggle_, labelsEnabled_);
    readToggle(neutralToggle_, neutralCharges_);
    readToggle(fillToggle_, fillSpheres_);
}

void PelmoraView::cancel(const void* /*sender*/) {
    if (controlPanel_) {
        host_.sheetHost.endSheet(*controlPanel_);
    }
}

bool PelmoraView::connectWindow(std::string_view outlet, std::unique_ptr<SheetWindow> window) {
    if (outlet != kWindowOutlet) {
        return false;
    }
    controlPanel_ = std::move(window);
    return true;
}

std::unique_ptr<SheetControl>* PelmoraView::controlOutlet(std::string_view outlet) {
    // In the order of kControlOutlets.
    static constexpr std::array<std::unique_ptr<SheetControl> PelmoraView::*, kControlOutlets.size()> kFields{
        &PelmoraView::localFieldDisplayControl_, &PelmoraView::electricFieldStrengthControl_,
        &PelmoraView::speedControl_,             &PelmoraView::numberControl_,
        &PelmoraView::chargeRangeControl_,       &PelmoraView::sphereRadiiControl_,
        &PelmoraView::bounceToggle_,             &PelmoraView::labelToggle_,
        &PelmoraView::localFieldToggle_,         &PelmoraView::neutralToggle_,
        &PelmoraView::fillToggle_};
    for (std::size_t i = 0; i < kControlOutlets.size(); ++i) {
        if (kControlOutlets[i] == outlet) {
            return &(this->*kFields[i]);
        }
    }
    return nullptr;
}

bool PelmoraView::connectControl(std::string_view outlet, std::unique_ptr<SheetControl> control) {
    std::unique_ptr<SheetControl>* field = controlOutlet(outlet);
    if (field == nullptr) {
        return false;
    }
    *field = std::move(control);
    return true;
}

bool PelmoraView::performAction(std::string_view action) {
    if (action == "ok:") {
        ok();
        return true;
    }
    if (action == "cancel:") {
        cancel();
        return true;
    }
    return false;
}

}  // namespace pelmora
