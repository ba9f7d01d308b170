#pragma once
// Exact tiles of a JPEG file that nothing shows: the raster decoded beside
// the tile workers, each tile waiting for the rows it needs.

#include <memory>
#include <string>

#include "imaging/dib_image.h"
#include "platform/file_io.h"

namespace tessarin::jpeg {

// A JPEG file decoded on a thread of its own into a raster, for exact tiles
// cut from the rows already decoded while the rest are still coming.
class JpegRowFeed {
  public:
    // Starts decoding `file`, which must still be width x height and, unless
    // `depth` is 0, of that depth (LoadedImage::displayDepth). Null, with
    // `error` set to the failure message, when the header cannot be read or
    // the raster not made.
    static std::unique_ptr<JpegRowFeed> Start(const SourceFilePtr& file, int width, int height,
                                              int depth, std::string& error);
    // Stops the decoding (after the batch in hand) and waits for the thread.
    ~JpegRowFeed();
    JpegRowFeed(const JpegRowFeed&) = delete;
    JpegRowFeed& operator=(const JpegRowFeed&) = delete;

    // Waits until the first `rows` rows of the raster are decoded. Null then,
    // or the failure message when the decoding failed first. Any thread.
    const char* WaitForRows(int rows) const;
    // Rows may be read once WaitForRows has returned null for them.
    const DibImage& Raster() const;

  private:
    JpegRowFeed();
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tessarin::jpeg
