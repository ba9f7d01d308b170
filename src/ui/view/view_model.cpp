#include "ui/view/view_model.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace tessarin {

int SaturateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

namespace {

int Displayed(int size, double scale) { return SaturateToInt(size * scale); }

int Origin(int client, int displayed, double centre) {
    if (displayed <= client) return (client - displayed) / 2;
    const int origin = SaturateToInt(client * 0.5 - displayed * centre);
    return std::clamp(origin, client - displayed, 0);
}

// The new view centre on one axis after the pointer moved `delta` pixels
// from the press: the image follows the pointer until its edge reaches the
// window's edge.
double DraggedCentre(double pressCentre, int delta, double displayed, int client) {
    const double half = client * 0.5;
    const double low = half / displayed;
    double c = pressCentre;
    if (half > displayed * c)
        c = low;
    else if (half > (1 - c) * displayed)
        c = 1 - low;
    if (delta < 0) {
        if (delta <= half - (1 - c) * displayed) return (displayed - half) / displayed;
        return c - delta / displayed;
    }
    if (delta >= displayed * c - half) return low;
    return c - delta / displayed;
}

}  // namespace

void ViewModel::SetImageSize(int width, int height) {
    imageWidth_ = std::max(0, width);
    imageHeight_ = std::max(0, height);
}

void ViewModel::SetClientSize(int width, int height) {
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == clientWidth_ && height == clientHeight_) return;
    clientWidth_ = width;
    clientHeight_ = height;
    if (followsWindow_)
        SetSteps(FitZoomSteps(clientWidth_, clientHeight_, imageWidth_, imageHeight_, rate_));
}

void ViewModel::SetRate(double rate) { rate_ = rate > 0 && std::isfinite(rate) ? rate : 1; }

double ViewModel::ScaleBound(bool upper) const {
    const double longer = std::max(imageWidth_, imageHeight_);
    return upper ? kMaxDisplayedSize / longer : 1 / longer;
}

void ViewModel::SetSteps(double steps) {
    if (!std::isfinite(steps)) steps = 0;
    if (HasImage() && rate_ != 1) {
        const double logRate = std::log(rate_);
        double a = std::log(ScaleBound(false)) / logRate;
        double b = std::log(ScaleBound(true)) / logRate;
        if (a > b) std::swap(a, b);
        steps = std::clamp(steps, a, b);
    }
    zoom_.steps = steps;
}

void ViewModel::ResetCentre() {
    zoom_.centreX = 0.5;
    zoom_.centreY = 0.5;
}

void ViewModel::ApplyInitialZoom(bool sameScale) {
    SetSteps(
        InitialZoomSteps(clientWidth_, clientHeight_, imageWidth_, imageHeight_, rate_, sameScale));
    followsWindow_ = !sameScale;
}

void ViewModel::FitToWindow() {
    SetSteps(FitZoomSteps(clientWidth_, clientHeight_, imageWidth_, imageHeight_, rate_));
    followsWindow_ = false;
}

void ViewModel::ShowOneToOne() {
    SetSteps(0);
    followsWindow_ = false;
}

bool ViewModel::Wheel(int angleDelta) {
    if (rate_ == 1 || !HasImage() || angleDelta == 0) return false;
    const double before = zoom_.steps;
    SetSteps(zoom_.steps + angleDelta / 120.0);
    if (zoom_.steps == before) return false;
    followsWindow_ = false;
    return true;
}

double ViewModel::Scale() const {
    if (!HasImage()) return 1;
    const double s = DisplayScale(zoom_.steps, rate_);
    return std::clamp(s, ScaleBound(false), ScaleBound(true));
}

int ViewModel::DisplayedWidth() const { return Displayed(imageWidth_, Scale()); }
int ViewModel::DisplayedHeight() const { return Displayed(imageHeight_, Scale()); }
int ViewModel::OriginX() const { return Origin(clientWidth_, DisplayedWidth(), zoom_.centreX); }
int ViewModel::OriginY() const { return Origin(clientHeight_, DisplayedHeight(), zoom_.centreY); }

int ViewModel::ImageToWindowX(double u) const {
    return SaturateToInt(OriginX() + std::ceil(u * Scale()));
}
int ViewModel::ImageToWindowY(double v) const {
    return SaturateToInt(OriginY() + std::ceil(v * Scale()));
}
int ViewModel::WindowToImageX(int x) const {
    return SaturateToInt((static_cast<double>(x) - OriginX()) / Scale());
}
int ViewModel::WindowToImageY(int y) const {
    return SaturateToInt((static_cast<double>(y) - OriginY()) / Scale());
}

void ViewModel::BeginDrag(int x, int y) {
    pressX_ = x;
    pressY_ = y;
    pressCentreX_ = zoom_.centreX;
    pressCentreY_ = zoom_.centreY;
}

bool ViewModel::DragTo(int x, int y) {
    if (!HasImage()) return false;
    const ViewZoom before = zoom_;
    const double s = Scale();
    if (DisplayedWidth() - clientWidth_ > 0)
        zoom_.centreX = DraggedCentre(pressCentreX_, x - pressX_, imageWidth_ * s, clientWidth_);
    if (DisplayedHeight() - clientHeight_ > 0)
        zoom_.centreY = DraggedCentre(pressCentreY_, y - pressY_, imageHeight_ * s, clientHeight_);
    if (zoom_.centreX == before.centreX && zoom_.centreY == before.centreY) return false;
    followsWindow_ = false;
    return true;
}

bool ViewModel::Scrollable() const {
    return DisplayedWidth() > clientWidth_ || DisplayedHeight() > clientHeight_;
}

bool RepaintThrottle::Due(uint64_t now) {
    if (any_ && now - last_ <= kIntervalMs) return false;
    any_ = true;
    last_ = now;
    return true;
}

uint64_t RepaintThrottle::Remaining(uint64_t now) const {
    if (!any_ || now - last_ > kIntervalMs) return 0;
    return kIntervalMs + 1 - (now - last_);
}

}  // namespace tessarin
