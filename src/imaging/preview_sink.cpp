#include "imaging/preview_sink.h"

namespace tessarin {

namespace {
thread_local PreviewSink* current = nullptr;
}  // namespace

ScopedPreviewSink::ScopedPreviewSink(PreviewSink* sink) : previous_(current) { current = sink; }

ScopedPreviewSink::~ScopedPreviewSink() { current = previous_; }

PreviewSink* CurrentPreviewSink() { return current; }

}  // namespace tessarin
