#include "ui/view/scaled_image_cache.h"

#include <QPainter>
#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

#include "ui/view/image_pyramid.h"

namespace tessarin {

namespace {

uint64_t TileKey(int64_t tx, int64_t ty) {
    return (static_cast<uint64_t>(tx) << 32) | static_cast<uint64_t>(ty);
}

struct Job {
    uint32_t* bits;
    size_t stride;
    int x, y, width, height;  // display pixels of the image
};

void RenderJobs(const ImagePyramid& source, double scale, ScaleFilter filter,
                const std::vector<Job>& jobs, size_t from, size_t step) {
    for (size_t i = from; i < jobs.size(); i += step) {
        const Job& j = jobs[i];
        RenderScaled(source, scale, filter, j.x, j.y, j.width, j.height, j.bits, j.stride);
    }
}

}  // namespace

void ScaledImageCache::SetSource(std::shared_ptr<const ImagePyramid> source) {
    source_ = std::move(source);
    Clear();
}

void ScaledImageCache::Clear() {
    tiles_.clear();
    bytes_ = 0;
}

void ScaledImageCache::Draw(QPainter& painter, const QRect& exposed, QPoint origin, QSize displayed,
                            double scale, ScaleFilter filter) {
    if (!source_ || displayed.isEmpty() || exposed.isEmpty()) return;
    if (scale != scale_ || filter != filter_) {
        Clear();
        scale_ = scale;
        filter_ = filter;
    }
    // The exposed part of the image, in display pixels of the image.
    const int64_t left = std::max<int64_t>(exposed.left() - int64_t{origin.x()}, 0);
    const int64_t top = std::max<int64_t>(exposed.top() - int64_t{origin.y()}, 0);
    const int64_t right =
        std::min<int64_t>(exposed.right() - int64_t{origin.x()}, displayed.width() - 1);
    const int64_t bottom =
        std::min<int64_t>(exposed.bottom() - int64_t{origin.y()}, displayed.height() - 1);
    if (left > right || top > bottom) return;

    ++clock_;
    struct Visible {
        Tile* tile;
        int64_t x, y;
    };
    std::vector<Visible> visible;
    std::vector<Job> jobs;
    for (int64_t ty = top / kTileSize; ty <= bottom / kTileSize; ++ty)
        for (int64_t tx = left / kTileSize; tx <= right / kTileSize; ++tx) {
            const int64_t x = tx * kTileSize, y = ty * kTileSize;
            auto [it, added] = tiles_.try_emplace(TileKey(tx, ty));
            Tile& tile = it->second;
            if (added) {
                const int w = static_cast<int>(std::min<int64_t>(kTileSize, displayed.width() - x));
                const int h =
                    static_cast<int>(std::min<int64_t>(kTileSize, displayed.height() - y));
                tile.image = QImage(w, h, QImage::Format_RGB32);
                if (tile.image.isNull()) {  // out of memory: this tile stays black
                    tiles_.erase(it);
                    continue;
                }
                bytes_ += static_cast<size_t>(tile.image.sizeInBytes());
                jobs.push_back({reinterpret_cast<uint32_t*>(tile.image.bits()),
                                static_cast<size_t>(tile.image.bytesPerLine() / 4),
                                static_cast<int>(x), static_cast<int>(y), w, h});
            }
            tile.used = clock_;
            visible.push_back({&tile, x, y});
        }

    // New tiles are rendered on two threads when there are enough of them.
    std::thread helper;
    if (jobs.size() >= 4 && std::thread::hardware_concurrency() > 1) {
        try {
            helper =
                std::thread(RenderJobs, std::cref(*source_), scale, filter, std::cref(jobs), 1, 2);
        } catch (const std::system_error&) {
        }
    }
    RenderJobs(*source_, scale, filter, jobs, 0, helper.joinable() ? 2 : 1);
    if (helper.joinable()) helper.join();

    for (const Visible& v : visible) {
        const QRect inTile(
            static_cast<int>(std::max(left, v.x) - v.x), static_cast<int>(std::max(top, v.y) - v.y),
            static_cast<int>(std::min(right, v.x + kTileSize - 1) - std::max(left, v.x) + 1),
            static_cast<int>(std::min(bottom, v.y + kTileSize - 1) - std::max(top, v.y) + 1));
        const QPoint at(static_cast<int>(origin.x() + v.x + inTile.x()),
                        static_cast<int>(origin.y() + v.y + inTile.y()));
        painter.drawImage(at, v.tile->image, inTile);
    }
    Trim();
}

void ScaledImageCache::Trim() {
    if (bytes_ <= budget_) return;
    std::vector<std::pair<uint64_t, uint64_t>> byAge;  // used, key
    byAge.reserve(tiles_.size());
    for (const auto& [key, tile] : tiles_)
        if (tile.used != clock_) byAge.emplace_back(tile.used, key);
    std::sort(byAge.begin(), byAge.end());
    for (const auto& [used, key] : byAge) {
        if (bytes_ <= budget_) break;
        auto it = tiles_.find(key);
        bytes_ -= static_cast<size_t>(it->second.image.sizeInBytes());
        tiles_.erase(it);
    }
}

}  // namespace tessarin
