#pragma once
// Loading a file for the window. A picture comes on screen before the load
// is done: a large JPEG file shows a picture reduced to 1/8 first (from its
// first scans when it is progressive), decoded several times faster than
// the whole. An image whose raster would not fit in memory (over the memory
// budget, or over the gigapixel a raster may hold) is never held whole: it
// is shown reduced by the smallest power of two whose picture fits, filled
// band by band from the top while the file is read, and split from its file
// (ReopenForTiles).

#include <memory>
#include <string>
#include <vector>

#include "imaging/current_image.h"
#include "imaging/read_watch.h"
#include "imaging/reduced_picture.h"

namespace tessarin {

struct ViewLoad {
    // With a raster, or with viewReduction set and `picture` its reduction.
    CurrentImage image;
    std::shared_ptr<ReducedPicture> picture;
};

// Hears of a load for viewing on the thread that runs it, and may end it:
// the load then fails with no message, between two bands or rows (inside
// the library for a JPEG file).
class ViewLoadObserver : public ReadWatch {
  public:
    // A picture to show until the load is done: `image` has the size and
    // facts of the image but nothing to cut from. Unless `complete`, the
    // picture is being filled (ReducedPicture::RowsDone). At most once a load.
    virtual void Reduced(const CurrentImage& image, std::shared_ptr<ReducedPicture> picture,
                         bool complete) = 0;
    // More rows of a picture being filled are done.
    virtual void RowsFilled() {}
    bool StopRequested() const override { return false; }
};

// Loads `path` as LoadImageFile does, with the messages it gives, except
// that an image too large for a raster is loaded as its reduced picture.
// `observer` may be null: nothing is shown early then.
[[nodiscard]] bool LoadImageForView(const std::string& path, ViewLoad& out, std::string& error,
                                    std::vector<std::string>& notices, ViewLoadObserver* observer);

// The factor an image of that size is shown reduced by when it is not held
// whole; 0 when no picture of it fits.
int ViewReductionFor(int64_t width, int64_t height);

}  // namespace tessarin
