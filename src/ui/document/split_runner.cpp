#include "ui/document/split_runner.h"

#include <new>
#include <system_error>

#include "platform/notifier.h"
#include "split/image_loader.h"
#include "ui/document/image_loading.h"
#include "ui/translation.h"

namespace tessarin {

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

    // The view is built once, for the file that stays on view (ShowLast).
    void FileLoaded(const CurrentImage& image, const SplitSettings&) override {
        shown_ = image.path;
        shownSkipped_ = false;
    }

    void TileFinished(int64_t done, int64_t total) override { runner_.NoteTile(done, total); }

    void FileFinished(size_t index, FileOutcome outcome, const SplitResult& result,
                      const std::string& line) override {
        // The first file of a batch whose JPEG files are skipped is still shown.
        if (outcome == FileOutcome::Skipped && shown_.empty()) {
            shown_ = path_;
            shownSkipped_ = true;
        }
        const int i = static_cast<int>(index);
        const QString text = EngineLine(line);
        const QString folder = QString::fromStdString(result.outputFolder);
        SplitRunner* runner = &runner_;
        runner_.Post([runner, i, outcome, text, folder] {
            emit runner->fileFinished(i, outcome, text, folder);
        });
    }

    // Loads the file that stays on view for the viewer, once the batch is
    // done. Its notices were shown as the batch loaded it, unless it was
    // skipped.
    void ShowLast() {
        if (shown_.empty() || runner_.closing_.load()) return;
        std::shared_ptr<LoadOutcome> outcome = LoadForViewing(shown_, nullptr);
        if (shownSkipped_ && owner_)
            for (const std::string& notice : outcome->notices) owner_->ShowNotice(notice);
        if (!outcome->ok) return;  // only the view is lost
        SplitRunner* runner = &runner_;
        runner_.Post([runner, outcome] { emit runner->imageLoaded(outcome); });
    }

  private:
    SplitRunner& runner_;
    int count_;
    Notifier* owner_;
    std::string path_;   // of the file in hand
    std::string shown_;  // the file the view is to show at the end
    bool shownSkipped_ = false;
};

SplitRunner::SplitRunner(QObject* parent) : QObject(parent) {}

SplitRunner::~SplitRunner() {
    closing_.store(true);
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
    readDone_.store(0, std::memory_order_relaxed);
    readTotal_.store(0, std::memory_order_relaxed);
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
            void ReadProgress(int64_t done, int64_t total) override {
                runner_.readTotal_.store(total, std::memory_order_relaxed);
                runner_.readDone_.store(done, std::memory_order_relaxed);
                if (runner_.readHook_) runner_.readHook_();
            }

          private:
            SplitRunner& runner_;
        } tiles(*this);
        // An image on view only reduced is read from its file again.
        SplitResult result;
        if (ReopenForTiles(shared->image, shared->settings, result.message))
            result = RunSplitJob(*shared, &tiles);
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
    // Files are cut as nothing shows them; the view is built at the end.
    options.withoutViewer = true;
    return Launch([this, list, record, options](std::stop_token stop) {
        Observer observer(*this, list->size(), options.owner);
        PathListSource source(*list, *record);
        BatchResult batch;
        try {
            batch = RunBatch(source, options, observer, stop);
        } catch (const std::bad_alloc&) {
            // The lines so far have been delivered; the batch ends here.
        }
        observer.ShowLast();
        Post([this, batch] {
            busy_ = false;
            emit batchFinished(batch);
        });
    });
}

}  // namespace tessarin
