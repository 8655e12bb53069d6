#include "Direct2DCanvas.h"

#include <d2d1.h>
#include <dwrite.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "LineClip.h"
#include "WideText.h"

namespace pelmora {
namespace {

// Direct2D works in single precision; everything handed to it is first
// brought inside this box, far larger than any screen, so that no
// coordinate turns into infinity on the way.
constexpr double kLimit = 1.0e6;
constexpr double kLargestFontSize = 10000.0;
constexpr std::size_t kLongestText = 100000;

template <typename T>
void release(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

bool finite(double a, double b, double c, double d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

float component(double value) { return std::isnan(value) ? 0.0F : static_cast<float>(std::clamp(value, 0.0, 1.0)); }

float coordinate(double value) { return static_cast<float>(std::clamp(value, -kLimit, kLimit)); }

}  // namespace

namespace {

using CreateFactoryFunction = HRESULT(WINAPI*)(D2D1_FACTORY_TYPE, REFIID, const D2D1_FACTORY_OPTIONS*, void**);
using CreateWriteFactoryFunction = HRESULT(WINAPI*)(DWRITE_FACTORY_TYPE, REFIID, IUnknown**);

// A system DLL from System32 only, never from beside the saver or the
// current folder; by its full path, as Windows 7 without its loader update
// knows no flag for that.
HMODULE loadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    return LoadLibraryW((std::wstring(folder) + L"\\" + name).c_str());
}

template <typename Function>
Function entryPoint(HMODULE module, const char* name) {
    return module != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                             : nullptr;
}

std::string hexCode(unsigned long code) {
    char text[16] = {};
    std::snprintf(text, sizeof(text), "0x%08lX", code);
    return text;
}

}  // namespace

Direct2DCanvas::Direct2DCanvas() { loadLibraries(); }

void Direct2DCanvas::loadLibraries() {
    direct2D_ = loadSystemLibrary(L"d2d1.dll");
    const auto createFactory = entryPoint<CreateFactoryFunction>(direct2D_, "D2D1CreateFactory");
    if (createFactory == nullptr) {
        failure_ = "Direct2D (d2d1.dll) is not available on this system: error " + std::to_string(GetLastError());
        return;
    }
    D2D1_FACTORY_OPTIONS options{};
    const HRESULT made = createFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), &options,
                                       reinterpret_cast<void**>(&factory_));
    if (FAILED(made)) {
        factory_ = nullptr;
        failure_ = "Direct2D could not start: error " + hexCode(static_cast<unsigned long>(made));
        return;
    }
    directWrite_ = loadSystemLibrary(L"dwrite.dll");
    const auto createWriteFactory = entryPoint<CreateWriteFactoryFunction>(directWrite_, "DWriteCreateFactory");
    if (createWriteFactory == nullptr) {
        failure_ = "DirectWrite (dwrite.dll) is not available on this system: error " + std::to_string(GetLastError());
        return;
    }
    const HRESULT madeWrite = createWriteFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                                 reinterpret_cast<IUnknown**>(&writeFactory_));
    if (FAILED(madeWrite)) {
        writeFactory_ = nullptr;
        failure_ = "DirectWrite could not start: error " + hexCode(static_cast<unsigned long>(madeWrite));
    }
}

Direct2DCanvas::~Direct2DCanvas() {
    release(textFormat_);
    releaseTarget();
    release(writeFactory_);
    release(factory_);
    if (directWrite_ != nullptr) {
        FreeLibrary(directWrite_);
    }
    if (direct2D_ != nullptr) {
        FreeLibrary(direct2D_);
    }
}

double Direct2DCanvas::toUnits(LONG pixels, float dpi) {
    const double scale = dpi > 0.0F ? static_cast<double>(dpi) / 96.0 : 1.0;
    return static_cast<double>(pixels) / scale;
}

bool Direct2DCanvas::makeTarget() {
    if (target_ != nullptr) {
        return true;
    }
    if (factory_ == nullptr) {
        return false;
    }
    // The DC target renders off screen and copies the result in EndDraw, so a
    // frame never shows half drawn.
    const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE));
    if (FAILED(factory_->CreateDCRenderTarget(&properties, &target_))) {
        target_ = nullptr;
        return false;
    }
    if (FAILED(target_->CreateSolidColorBrush(D2D1::ColorF(0.0F, 0.0F, 0.0F, 1.0F), &brush_))) {
        releaseTarget();
        return false;
    }
    return true;
}

void Direct2DCanvas::releaseTarget() {
    release(brush_);
    release(target_);
}

bool Direct2DCanvas::beginFrame(HDC dc, const RECT& pixels, float dpi) {
    drawing_ = false;
    if (dc == nullptr || !makeTarget()) {
        return false;
    }
    if (!(dpi > 0.0F) || !std::isfinite(dpi)) {
        dpi = 96.0F;
    }
    target_->SetDpi(dpi, dpi);
    if (FAILED(target_->BindDC(dc, &pixels))) {
        releaseTarget();
        return false;
    }
    height_ = toUnits(pixels.bottom - pixels.top, dpi);
    target_->BeginDraw();
    target_->SetTransform(D2D1::Matrix3x2F::Identity());
    applyColor(color_);
    drawing_ = true;
    return true;
}

bool Direct2DCanvas::endFrame() {
    if (!drawing_) {
        return false;
    }
    drawing_ = false;
    const HRESULT result = target_->EndDraw();
    if (FAILED(result)) {
        // D2DERR_RECREATE_TARGET and its kin: start over with a new target.
        releaseTarget();
        return false;
    }
    return true;
}

void Direct2DCanvas::applyColor(const Color& color) {
    if (brush_ != nullptr) {
        brush_->SetColor(D2D1::ColorF(component(color.red), component(color.green), component(color.blue),
                                      component(color.alpha)));
    }
}

void Direct2DCanvas::setColor(const Color& color) {
    color_ = color;
    applyColor(color);
}

void Direct2DCanvas::fillRect(const Rect& rect) {
    if (!drawing_ || !finite(rect.x, rect.y, rect.width, rect.height)) {
        return;
    }
    const double x1 = rect.x + rect.width;
    const double y1 = rect.y + rect.height;
    const D2D1_RECT_F box{coordinate(std::min(rect.x, x1)), coordinate(height_ - std::max(rect.y, y1)),
                          coordinate(std::max(rect.x, x1)), coordinate(height_ - std::min(rect.y, y1))};
    target_->FillRectangle(box, brush_);
}

void Direct2DCanvas::setDefaultLineWidth(double width) {
    if (std::isfinite(width)) {
        lineWidth_ = std::clamp(width, 0.0, kLimit);
    }
}

void Direct2DCanvas::strokeLine(Point from, Point to) {
    if (!drawing_ || !finite(from.x, from.y, to.x, to.y)) {
        return;
    }
    const auto segment = clipToSquare({from.x, height_ - from.y, to.x, height_ - to.y}, kLimit);
    if (!segment) {
        return;
    }
    target_->DrawLine(D2D1::Point2F(static_cast<float>(segment->x0), static_cast<float>(segment->y0)),
                      D2D1::Point2F(static_cast<float>(segment->x1), static_cast<float>(segment->y1)), brush_,
                      static_cast<float>(lineWidth_));
}

namespace {

// The ellipse inscribed in the rectangle, in Direct2D's top-down coordinates;
// nothing for rectangles that are not finite or lie beyond the limit.
std::optional<D2D1_ELLIPSE> inscribed(const Rect& rect, double height) {
    if (!finite(rect.x, rect.y, rect.width, rect.height)) {
        return std::nullopt;
    }
    const double radiusX = std::fabs(rect.width) / 2.0;
    const double radiusY = std::fabs(rect.height) / 2.0;
    const double centreX = rect.x + rect.width / 2.0;
    const double centreY = height - (rect.y + rect.height / 2.0);
    if (std::fabs(centreX) > kLimit || std::fabs(centreY) > kLimit || radiusX > kLimit || radiusY > kLimit) {
        return std::nullopt;
    }
    return D2D1::Ellipse(D2D1::Point2F(static_cast<float>(centreX), static_cast<float>(centreY)),
                         static_cast<float>(radiusX), static_cast<float>(radiusY));
}

}  // namespace

void Direct2DCanvas::fillOval(const Rect& rect) {
    const auto ellipse = inscribed(rect, height_);
    if (drawing_ && ellipse) {
        target_->FillEllipse(*ellipse, brush_);
    }
}

void Direct2DCanvas::strokeOval(const Rect& rect) {
    const auto ellipse = inscribed(rect, height_);
    if (drawing_ && ellipse) {
        target_->DrawEllipse(*ellipse, brush_, static_cast<float>(lineWidth_));
    }
}

namespace {

bool hasFamily(IDWriteFontCollection& fonts, const std::wstring& family) {
    UINT32 index = 0;
    BOOL exists = FALSE;
    return !family.empty() && SUCCEEDED(fonts.FindFamilyName(family.c_str(), &index, &exists)) && exists;
}

// A family the collection holds for labels that asked for one it lacks:
// Arial as on Windows, the sans faces a Wine or a bare Windows may have
// instead, and else whatever family comes first, since any text beats none.
std::wstring installedSans(IDWriteFontCollection& fonts) {
    for (const wchar_t* family : {L"Arial", L"Liberation Sans", L"DejaVu Sans", L"Nimbus Sans", L"Segoe UI",
                                  L"Tahoma", L"Verdana"}) {
        if (hasFamily(fonts, family)) {
            return family;
        }
    }
    IDWriteFontFamily* first = nullptr;
    IDWriteLocalizedStrings* names = nullptr;
    std::wstring name = L"Arial";
    if (fonts.GetFontFamilyCount() > 0 && SUCCEEDED(fonts.GetFontFamily(0, &first)) &&
        SUCCEEDED(first->GetFamilyNames(&names)) && names->GetCount() > 0) {
        UINT32 length = 0;
        if (SUCCEEDED(names->GetStringLength(0, &length))) {
            std::wstring text(length + 1, L'\0');
            if (SUCCEEDED(names->GetString(0, text.data(), length + 1))) {
                text.resize(length);
                name = text;
            }
        }
    }
    if (names != nullptr) {
        names->Release();
    }
    if (first != nullptr) {
        first->Release();
    }
    return name;
}

}  // namespace

// "Helvetica" is the name the view asks for; Windows itself knows it only
// through its font substitutes (to Arial), which DirectWrite does not read.
// DirectWrite draws nothing at all for a family it lacks, and Wine has no
// Arial unless one is installed: its substitute points at a missing font. So
// the chain ends in a family that is there, a sans one where possible.
std::wstring Direct2DCanvas::resolveFamily(const std::string& name) const {
    const std::wstring wanted = widen(name);
    IDWriteFontCollection* fonts = nullptr;
    if (writeFactory_ == nullptr || FAILED(writeFactory_->GetSystemFontCollection(&fonts, FALSE))) {
        return wanted;
    }
    const auto installed = [fonts](const std::wstring& family) { return hasFamily(*fonts, family); };
    std::wstring chosen = wanted;
    if (!installed(wanted)) {
        wchar_t substitute[LF_FACESIZE * 2] = {};
        DWORD size = sizeof(substitute) - sizeof(wchar_t);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
                         wanted.c_str(), RRF_RT_REG_SZ, nullptr, substitute, &size) == ERROR_SUCCESS &&
            installed(substitute)) {
            chosen = substitute;
        } else {
            chosen = installedSans(*fonts);
        }
    }
    fonts->Release();
    return chosen;
}

bool Direct2DCanvas::useFont(const Font& font) {
    if (!std::isfinite(font.size) || font.size <= 0.0 || font.size > kLargestFontSize || writeFactory_ == nullptr) {
        return false;
    }
    if (textFormat_ != nullptr && font == font_) {
        return true;
    }
    release(textFormat_);
    const std::wstring family = resolveFamily(font.name);
    // The font's size is in the view's units, as the target's DIPs are.
    if (FAILED(writeFactory_->CreateTextFormat(family.c_str(), nullptr, DWRITE_FONT_WEIGHT_NORMAL,
                                               DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                               static_cast<float>(font.size), L"", &textFormat_))) {
        textFormat_ = nullptr;
        return false;
    }
    textFormat_->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
    font_ = font;
    return true;
}

void Direct2DCanvas::drawText(const std::string& text, Point at, const TextAttributes& attributes) {
    if (!drawing_ || text.empty() || text.size() > kLongestText || !std::isfinite(at.x) || !std::isfinite(at.y) ||
        std::fabs(at.x) > kLimit || std::fabs(height_ - at.y) > kLimit || !useFont(attributes.font)) {
        return;
    }
    const std::wstring wide = widen(text);
    IDWriteTextLayout* layout = nullptr;
    if (FAILED(writeFactory_->CreateTextLayout(wide.c_str(), static_cast<UINT32>(wide.size()), textFormat_, 1.0e6F,
                                               1.0e6F, &layout))) {
        return;
    }
    DWRITE_TEXT_METRICS metrics{};
    layout->GetMetrics(&metrics);
    // The bottom of the line (descent included) sits on the point, the way
    // AppKit draws a string at a point in an unflipped view.
    const D2D1_POINT_2F origin =
        D2D1::Point2F(static_cast<float>(at.x), static_cast<float>(height_ - at.y) - metrics.height);
    applyColor(attributes.foregroundColor);
    target_->DrawTextLayout(origin, layout, brush_, D2D1_DRAW_TEXT_OPTIONS_NONE);
    applyColor(color_);
    layout->Release();
}

}  // namespace pelmora
