#pragma once
// What the caller of a load hands its reader: a long read that it follows
// and may end early (the reader asks between its steps, rows, bands and
// scans, whether to go on, and tells how far it has come), and that may take
// an early reduced picture of the image.

#include <cstdint>
#include <memory>

namespace tessarin {

class ReducedPicture;

class ReadWatch {
  public:
    virtual ~ReadWatch() = default;
    // True ends the read at its next step: it then fails, and the caller,
    // who asked, knows why.
    virtual bool StopRequested() const = 0;
    // `done` of `total` steps of the read are behind it. Called often, on
    // the reading thread: it must be cheap.
    virtual void ReadProgress(int64_t done, int64_t total) const {
        (void)done;
        (void)total;
    }
    // Whether the caller shows a reduced picture that a reader comes by
    // before the raster is decoded (a progressive JPEG file's first scans).
    virtual bool WantsPreview() const { return false; }
    // That picture, complete; offered at most once per load, on the reading
    // thread.
    virtual void OfferPreview(std::shared_ptr<ReducedPicture> picture) const { (void)picture; }
};

}  // namespace tessarin
