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
    defaults.reserve(kSettings.size());
    for (const Setting& entry : kSettings) {
        defaults.emplace_back(std::string(entry.key), std::string(entry.defaultText));
    }
    return defaults;
}

// The store keeps 64-bit integers; the fields take the low 32 bits.
std::int32_t low32(std::int64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

std::int64_t stateFor(bool value) { return value ? 1 : 0; }

// The load reads, and the save writes, the booleans, then the floats, then
// the integers, each group in registration order.
constexpr std::array<SettingType, 3> kStoreOrder{SettingType::Boolean, SettingType::Float, SettingType::Integer};
// The sheet is filled, and read on OK, floats and integers before the toggles.
constexpr std::array<SettingType, 3> kSheetOrder{SettingType::Float, SettingType::Integer, SettingType::Boolean};

// Visits the settings' indices type by type in `order`, each type's in
// registration order.
template <typename Visit>
void forEachSetting(const std::array<SettingType, 3>& order, Visit visit) {
    for (const SettingType type : order) {
        for (std::size_t i = 0; i < kSettings.size(); ++i) {
            if (kSettings[i].type == type) {
                visit(i);
            }
        }
    }
}

constexpr std::size_t kNumberSetting = static_cast<std::size_t>(findSetting("numberOfThings") - kSettings.data());
constexpr std::size_t kSpeedSetting = static_cast<std::size_t>(findSetting("speedDivisor") - kSettings.data());

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
    for (auto control = controls_.rbegin(); control != controls_.rend(); ++control) {
        control->reset();
    }
    controlPanel_.reset();
    attributes_.reset();
    thingArray_.clear();
}

const PelmoraView::SettingField& PelmoraView::fieldOf(std::size_t setting) {
    // Each setting's field, in registration order; a key is its field's name.
    static constexpr std::array<SettingField, kSettings.size()> kFields{{
        {"localFieldDisplay", nullptr, &PelmoraView::localFieldDisplay_, nullptr},
        {"speedDivisor", nullptr, &PelmoraView::speedDivisor_, nullptr},
        {"showLocalFields", &PelmoraView::showLocalFields_, nullptr, nullptr},
        {"bouncingEnabled", &PelmoraView::bouncingEnabled_, nullptr, nullptr},
        {"labelsEnabled", &PelmoraView::labelsEnabled_, nullptr, nullptr},
        {"electricFieldStrength", nullptr, &PelmoraView::electricFieldStrength_, nullptr},
        {"numberOfThings", nullptr, nullptr, &PelmoraView::numberOfThings_},
        {"chargeRange", nullptr, nullptr, &PelmoraView::chargeRange_},
        {"neutralCharges", &PelmoraView::neutralCharges_, nullptr, nullptr},
        {"fillSpheres", &PelmoraView::fillSpheres_, nullptr, nullptr},
        {"sphereRadii", nullptr, &PelmoraView::sphereRadii_, nullptr},
    }};
    static_assert([] {
        for (std::size_t i = 0; i < kSettings.size(); ++i) {
            const SettingField& field = kFields[i];
            const SettingType type = kSettings[i].type;
            const bool typed = type == SettingType::Boolean ? field.flag != nullptr
                               : type == SettingType::Float ? field.number != nullptr
                                                            : field.count != nullptr;
            if (field.key != kSettings[i].key || !typed) {
                return false;
            }
        }
        return true;
    }(), "every setting needs the field of its name and type");
    return kFields[setting];
}

void PelmoraView::loadSettings() {
    std::unique_ptr<SettingsStore> store = host_.stores.defaultsForModuleWithName(host_.moduleName);
    store->registerDefaults(registeredDefaults());
    forEachSetting(kStoreOrder, [&](std::size_t i) { loadSetting(*store, i); });
}

void PelmoraView::loadSetting(SettingsStore& store, std::size_t setting) {
    const SettingField& field = fieldOf(setting);
    switch (kSettings[setting].type) {
        case SettingType::Boolean: this->*field.flag = store.boolForKey(field.key); break;
        case SettingType::Float: this->*field.number = store.floatForKey(field.key); break;
        case SettingType::Integer: this->*field.count = low32(store.integerForKey(field.key)); break;
    }
}

void PelmoraView::saveSettings(SettingsStore& store) {
    forEachSetting(kStoreOrder, [&](std::size_t i) { saveSetting(store, i); });
    lastSaveSucceeded_ = store.synchronize();
    lastSaveError_ = lastSaveSucceeded_ ? std::string() : store.lastError();
}

void PelmoraView::saveSetting(SettingsStore& store, std::size_t setting) const {
    const SettingField& field = fieldOf(setting);
    switch (kSettings[setting].type) {
        case SettingType::Boolean: store.setBool(this->*field.flag, field.key); break;
        case SettingType::Float: store.setFloat(this->*field.number, field.key); break;
        case SettingType::Integer: store.setInteger(this->*field.count, field.key); break;
    }
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
    forEachSetting(kSheetOrder, [this](std::size_t i) { fillControl(i); });
}

void PelmoraView::fillControl(std::size_t setting) {
    // An outlet the interface file left unconnected is skipped.
    SheetControl* control = controls_[setting].get();
    if (control == nullptr) {
        return;
    }
    const SettingField& field = fieldOf(setting);
    switch (kSettings[setting].type) {
        case SettingType::Boolean: control->setState(stateFor(this->*field.flag)); break;
        case SettingType::Float: control->setFloatValue(this->*field.number); break;
        case SettingType::Integer: control->setIntValue(this->*field.count); break;
    }
}

void PelmoraView::ok(const void* /*sender*/) {
    std::unique_ptr<SettingsStore> store = host_.stores.defaultsForModuleWithName(host_.moduleName);
    readControls();
    attributes_->foregroundColor = labelColor();
    // The disc follows the new radius with the labels and field lines placed
    // around it; left at the old size it would sit off-centre until restart.
    sizeDisc();
    readControl(kNumberSetting);
    // The capped count: compared with the stored one, an OK that changed
    // nothing would rebuild every sphere of a capped population.
    if (static_cast<std::int64_t>(populationSize()) != static_cast<std::int64_t>(thingArray_.size())) {
        thingArray_.clear();
        populate();
    }
    if (const SheetControl* speedControl = controls_[kSpeedSetting].get()) {
        const float speed = speedControl->floatValue();
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
    // The count and the speed have steps of their own in ok().
    forEachSetting(kSheetOrder, [this](std::size_t i) {
        if (i != kNumberSetting && i != kSpeedSetting) {
            readControl(i);
        }
    });
}

void PelmoraView::readControl(std::size_t setting) {
    // An outlet the interface file left unconnected keeps its field as it is.
    const SheetControl* control = controls_[setting].get();
    if (control == nullptr) {
        return;
    }
    const SettingField& field = fieldOf(setting);
    switch (kSettings[setting].type) {
        // A toggle counts as on only in state 1, never in a mixed state.
        case SettingType::Boolean: this->*field.flag = control->state() == 1; break;
        case SettingType::Float: this->*field.number = control->floatValue(); break;
        case SettingType::Integer: this->*field.count = control->intValue(); break;
    }
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

bool PelmoraView::connectControl(std::string_view outlet, std::unique_ptr<SheetControl> control) {
    const Setting* setting = findSettingOfOutlet(outlet);
    if (setting == nullptr) {
        return false;
    }
    controls_[static_cast<std::size_t>(setting - kSettings.data())] = std::move(control);
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
