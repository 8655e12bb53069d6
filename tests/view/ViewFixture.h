#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "FakeSheet.h"
#include "MemoryStores.h"
#include "PelmoraView.h"
#include "RecordingCanvas.h"

namespace pelmora::testing {

// A view on in-memory host services: a settings store, a recording canvas
// and a fake sheet.
class ViewTest : public ::testing::Test {
protected:
    static constexpr const char* kModule = "org.example.host";

    std::unique_ptr<PelmoraView> makeView(Rect frame = {0.0, 0.0, 800.0, 600.0}, bool preview = false) {
        return std::make_unique<PelmoraView>(frame, preview, ViewHost{stores, kModule, canvas, sheet});
    }

    void save(const std::string& key, MemoryStores::Value value) { stores.module(kModule).saved[key] = value; }
    MemoryStores::Module& module() { return stores.module(kModule); }

    // A view holding exactly the given spheres, each at rest at its position.
    std::unique_ptr<PelmoraView> viewWithThings(std::initializer_list<Vekthing> things) {
        save("numberOfThings", std::int64_t{0});
        auto view = makeView();
        view->thingArray().assign(things);
        return view;
    }

    static Vekthing thingAt(float x, float y, std::int32_t charge = 0) {
        Vekthing thing;
        thing.set(x, y, 0.0F, 0.0F);
        thing.setElectricCharge(charge);
        return thing;
    }

    // The operations of one frame.
    std::vector<DrawOp> frame(PelmoraView& view) {
        canvas.clear();
        view.animateOneFrame();
        return canvas.operations();
    }

    MemoryStores stores;
    RecordingCanvas canvas;
    FakeSheetHost sheet;
};

}  // namespace pelmora::testing
