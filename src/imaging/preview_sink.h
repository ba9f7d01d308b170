#pragma once
// A reader that comes by a reduced picture of its image before the raster is
// decoded (a progressive JPEG file once its first scans are read) offers it
// to the sink set on the loading thread, if any: the window shows it while
// the rest is decoded.

#include <memory>

#include "imaging/reduced_picture.h"

namespace tessarin {

class PreviewSink {
  public:
    virtual ~PreviewSink() = default;
    // Called at most once per load, on the loading thread; `picture` is complete.
    virtual void Offer(std::shared_ptr<ReducedPicture> picture) = 0;
};

// The sink of this thread's loads while it lives.
class ScopedPreviewSink {
  public:
    explicit ScopedPreviewSink(PreviewSink* sink);
    ~ScopedPreviewSink();
    ScopedPreviewSink(const ScopedPreviewSink&) = delete;
    ScopedPreviewSink& operator=(const ScopedPreviewSink&) = delete;

  private:
    PreviewSink* previous_;
};

// The sink of the load on this thread; null when nobody listens.
PreviewSink* CurrentPreviewSink();

}  // namespace tessarin
