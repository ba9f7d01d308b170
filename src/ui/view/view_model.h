#pragma once
// Where the image sits in the viewer, without any widget: the zoom as a step
// count on a geometric scale, the view centre, the origin of the displayed
// image, the mapping between window and image coordinates, and scrolling by
// dragging.
//
// An image shown fitted stays fitted while the client area changes (the
// window manager may maximise the window only after the first fit) until
// the user zooms or scrolls; from then on the zoom stays as the user left it.
//
// The scale is rate ^ steps, bounded so that the displayed image is at least
// one pixel on its longer side and never more than kMaxDisplayedSize pixels:
// every window coordinate derived from it then fits an int.

#include <cstdint>

#include "ui/view/view_zoom.h"

namespace tessarin {

class ViewModel {
  public:
    // The longest displayed side the zoom allows.
    static constexpr int kMaxDisplayedSize = 1 << 30;

    // 0 x 0 when no image is shown.
    void SetImageSize(int width, int height);
    // Fits the image again while it follows the window.
    void SetClientSize(int width, int height);
    // A rate of 0 or below, or one that is not finite, zooms nothing.
    void SetRate(double rate);

    bool HasImage() const { return imageWidth_ > 0 && imageHeight_ > 0; }
    int ImageWidth() const { return imageWidth_; }
    int ImageHeight() const { return imageHeight_; }
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    double Rate() const { return rate_; }

    const ViewZoom& Zoom() const { return zoom_; }
    // Sets the step count, kept inside the bounds above.
    void SetSteps(double steps);
    // A newly loaded image is centred.
    void ResetCentre();
    // 1:1 when sameScale or the rate is 1, else the fit, which then follows
    // the window.
    void ApplyInitialZoom(bool sameScale);
    // The user's own zooms: they end following the window.
    void FitToWindow();
    void ShowOneToOne();
    // One standard notch is 120 and one step; finer wheels give fractions.
    // Returns whether the zoom changed.
    bool Wheel(int angleDelta);

    // rate ^ steps within the bounds; 1 without an image.
    double Scale() const;
    int DisplayedWidth() const;
    int DisplayedHeight() const;
    // Window position of the image's top-left corner: centred when the image
    // is smaller than the window on that axis, otherwise placed by the view
    // centre and kept covering the window.
    int OriginX() const;
    int OriginY() const;

    // Window x of image column u: origin + ceil(u * scale). Likewise y.
    int ImageToWindowX(double u) const;
    int ImageToWindowY(double v) const;
    // Image column under window x: (x - origin) / scale truncated toward zero.
    int WindowToImageX(int x) const;
    int WindowToImageY(int y) const;

    // Scrolling by dragging: the press is remembered, each move places the
    // image so that it follows the pointer until its edge meets the window's.
    void BeginDrag(int x, int y);
    // Returns whether the view centre changed; a change ends following the
    // window.
    bool DragTo(int x, int y);
    // Whether the image is larger than the window on either axis.
    bool Scrollable() const;

  private:
    double ScaleBound(bool upper) const;

    int imageWidth_ = 0;
    int imageHeight_ = 0;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    double rate_ = 1.1;
    ViewZoom zoom_;
    bool followsWindow_ = false;
    int pressX_ = 0;
    int pressY_ = 0;
    double pressCentreX_ = 0.5;
    double pressCentreY_ = 0.5;
};

// Drag scrolling repaints at most this often; the end of a drag always repaints.
class RepaintThrottle {
  public:
    static constexpr uint64_t kIntervalMs = 33;
    // Whether a repaint is due at `now` (milliseconds); notes it when it is.
    bool Due(uint64_t now);
    // Milliseconds until the next repaint is allowed.
    uint64_t Remaining(uint64_t now) const;

  private:
    uint64_t last_ = 0;
    bool any_ = false;
};

// Converts a coordinate to int, saturating at the int range (NaN gives 0).
int SaturateToInt(double value);

}  // namespace tessarin
