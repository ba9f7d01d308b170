#include "ui/document/split_runner.h"

#include <new>
#include <system_error>

#include "platform/notifier.h"
#include "split/image_loader.h"
#include "ui/document/image_loading.h"
#include "ui/translation.h"
#include "ui/view/image_pyramid.h"

namespace tessarin {

namespace {

// What the viewer needs to show `image`; null when memory is short, which
// costs the view, not the split.
std::shared_ptr<LoadOutcome> ViewOf(const CurrentImage& image) {
    try {
        auto outcome = std::make_shared<LoadOutcome>();
        outcome->path = image.path;
        outcome->ok = true;
        outcome->image = image;
        outcome->pyramid = ImagePyramid::Build(image.raster);
        return outcome;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

// Runs on the batch's thread (TileFinished on the workers').
class SplitRunner::Observer : public BatchObserver {
  public:
    Observer(SplitRunner& runner, size_t count, Notifier* owner)
        : runner_(runner), count_(static_cast<int>(count)), owner_(owner) {}

    void FileStarted(size_t index, const std::string& path) override {
        path_ = path;
        runner_.tilesDone_.store(0, std::memory_order_relaxed);
        runner_.tilesTotal_.store(0, std::memory_order_relaxed);
        const int i = static_cast<int>(index);
        const int count = count_;
        SplitRunner* runner = &runner_;
        runner_.Post([runner, i, count] { emit runner->fileStarted(i, count); });
        if (runner_.hook_) runner_.hook_(index);
    }

    void FileLoaded(const CurrentImage& image, const SplitSettings&) override {
        shown_ = true;
        Show(ViewOf(image));
    }

    void TileFinished(int64_t done, int64_t total) override { runner_.NoteTile(done, total); }

    void FileFinished(size_t index, FileOutcome outcome, const SplitResult& result,
                      const std::string& line) override {
        // The first file of a batch whose JPEG files are skipped is still shown.
        if (outcome == FileOutcome::Skipped && !shown_) ShowSkipped();
        const int i = static_cast<int>(index);
        const QString text = EngineLine(line);
        const QString folder = QString::fromStdString(result.outputFolder);
        SplitRunner* runner = &runner_;
        runner_.Post([runner, i, outcome, text, folder] {
            emit runner->fileFinished(i, outcome, text, folder);
        });
    }

  private:
    void Show(std::shared_ptr<LoadOutcome> outcome) {
        if (!outcome) return;
        SplitRunner* runner = &runner_;
        runner_.Post([runner, outcome] { emit runner->imageLoaded(outcome); });
    }

    void ShowSkipped() {
        CurrentImage image;
        std::string error;
        try {
            std::vector<std::string> notices;
            const bool loaded = LoadImageFile(path_, image, error, notices);
            if (owner_)
                for (const std::string& notice : notices) owner_->ShowNotice(notice);
            if (!loaded) return;
            shown_ = true;
            Show(ViewOf(image));
        } catch (...) {
            // Only the view is lost: the file was not to be split anyway.
        }
    }

    SplitRunner& runner_;
    int count_;
    Notifier* owner_;
    std::string path_;  // of the file in hand
    bool shown_ = false;
};

SplitRunner::SplitRunner(QObject* parent) : QObject(parent) {}

SplitRunner::~SplitRunner() {
    RequestStop();
    if (thread_.joinable()) thread_.join();
}

void SplitRunner::RequestStop() { stop_.request_stop(); }

void SplitRunner::Post(std::function<void()> deliver) {
    // Dropped when this object is gone by then; it outlives its thread.
    QMetaObject::invokeMethod(this, std::move(deliver), Qt::QueuedConnection);
}

void SplitRunner::NoteTile(int64_t done, int64_t total) {
    // Workers report out of order; the count only grows.
    tilesTotal_.store(total, std::memory_order_relaxed);
    int64_t seen = tilesDone_.load(std::memory_order_relaxed);
    while (seen < done &&
           !tilesDone_.compare_exchange_weak(seen, done, std::memory_order_relaxed)) {
    }
}

bool SplitRunner::Launch(std::function<void(std::stop_token)> work) {
    if (busy_) return false;
    if (thread_.joinable()) thread_.join();  // finished already: its result has been delivered
    stop_ = std::stop_source();
    tilesDone_.store(0, std::memory_order_relaxed);
    tilesTotal_.store(0, std::memory_order_relaxed);
    try {
        thread_ = std::thread(std::move(work), stop_.get_token());
    } catch (const std::system_error&) {
        return false;
    }
    busy_ = true;
    return true;
}

bool SplitRunner::StartSingle(SplitJob job) {
    auto shared = std::make_shared<SplitJob>(std::move(job));
    return Launch([this, shared](std::stop_token stop) {
        shared->stop = std::move(stop);
        class Tiles : public TileProgress {
          public:
            explicit Tiles(SplitRunner& runner) : runner_(runner) {}
            void TileFinished(int64_t done, int64_t total) override {
                runner_.NoteTile(done, total);
            }

          private:
            SplitRunner& runner_;
        } tiles(*this);
        SplitResult result = RunSplitJob(*shared, &tiles);
        Post([this, result] {
            busy_ = false;
            emit singleFinished(result);
        });
    });
}

bool SplitRunner::StartBatch(std::vector<std::string> paths, const SplitSettings& settings,
                             BatchOptions options) {
    auto list = std::make_shared<std::vector<std::string>>(std::move(paths));
    auto record = std::make_shared<SplitSettings>(settings);
    return Launch([this, list, record, options](std::stop_token stop) {
        Observer observer(*this, list->size(), options.owner);
        PathListSource source(*list, *record);
        BatchResult batch;
        try {
            batch = RunBatch(source, options, observer, stop);
        } catch (const std::bad_alloc&) {
            // The lines so far have been delivered; the batch ends here.
        }
        Post([this, batch] {
            busy_ = false;
            emit batchFinished(batch);
        });
    });
}

}  // namespace tessarin
