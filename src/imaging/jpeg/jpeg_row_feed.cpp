// The row feed's thread: the rows decoded a batch at a time, each batch
// published to the tile workers waiting for it.

#include "imaging/jpeg/jpeg_row_feed.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "imaging/failure_text.h"
#include "imaging/jpeg/jpeg_raster_decode.h"
#include "imaging/messages.h"

namespace tessarin::jpeg {

// The decoding thread's state lives in the feed; the thread publishes how
// many rows are done after each batch.
struct JpegRowFeed::State {
    RasterDecode decode;
    JDIMENSION height = 0;
    std::atomic<int> ready{0};
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::condition_variable changed;
    const char* failure = nullptr;  // under lock
    bool ended = false;             // under lock
    std::thread thread;

    void Run() noexcept {
        const char* failed = nullptr;
        try {
            for (JDIMENSION done = 0; done < height && !failed;) {
                if (stop.load(std::memory_order_relaxed)) break;
                const JDIMENSION next = std::min(height, done + kBatchRows);
                failed = decode.Rows(next);
                // Tiles are never cut from rows the decoder made up.
                if (!failed && decode.Damaged()) failed = kImageDataFailed;
                // The last rows count once the decompression has ended well.
                if (!failed && next == height) failed = decode.Finish();
                if (!failed) Publish(static_cast<int>(next));
                done = next;
            }
        } catch (...) {
            failed = msg::kMemoryFailed;
        }
        std::lock_guard<std::mutex> guard(lock);
        failure = failed;
        ended = true;
        changed.notify_all();
    }

    void Publish(int rows) {
        {
            std::lock_guard<std::mutex> guard(lock);
            ready.store(rows, std::memory_order_release);
        }
        changed.notify_all();
    }

    // Rows per batch: one MCU row of a 4:2:0 file.
    static constexpr JDIMENSION kBatchRows = 16;
};

std::unique_ptr<JpegRowFeed> JpegRowFeed::Start(const SourceFilePtr& file, int width, int height,
                                                int depth, std::string& error) {
    try {
        std::unique_ptr<JpegRowFeed> feed(new JpegRowFeed());
        State& state = *feed->state_;
        if (const char* failure = state.decode.Open(file, false)) {
            SetFailureText(error, failure);
            return nullptr;
        }
        const jpeg_decompress_struct& codec = state.decode.Codec();
        if (static_cast<int>(codec.output_width) != width ||
            static_cast<int>(codec.output_height) != height ||
            (depth != 0 && 8 * codec.output_components != depth)) {
            SetFailureText(error, msg::kClipFailed);
            return nullptr;
        }
        state.height = codec.output_height;
        state.thread = std::thread(&State::Run, &state);
        return feed;
    } catch (...) {
        SetFailureText(error, msg::kMemoryFailed);
        return nullptr;
    }
}

JpegRowFeed::JpegRowFeed() : state_(std::make_unique<State>()) {}

JpegRowFeed::~JpegRowFeed() {
    state_->stop.store(true, std::memory_order_relaxed);
    if (state_->thread.joinable()) state_->thread.join();
}

const char* JpegRowFeed::WaitForRows(int rows) const {
    State& state = *state_;
    if (state.ready.load(std::memory_order_acquire) >= rows) return nullptr;
    std::unique_lock<std::mutex> guard(state.lock);
    state.changed.wait(
        guard, [&] { return state.ready.load(std::memory_order_relaxed) >= rows || state.ended; });
    if (state.ready.load(std::memory_order_relaxed) >= rows) return nullptr;
    return state.failure ? state.failure : kImageDataFailed;
}

const DibImage& JpegRowFeed::Raster() const { return state_->decode.Raster(); }

}  // namespace tessarin::jpeg
