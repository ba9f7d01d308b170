#include "ui/document/image_loading.h"

#include <chrono>
#include <new>

#include "platform/notifier.h"
#include "split/messages.h"
#include "split/view_loader.h"
#include "ui/view/image_pyramid.h"

namespace tessarin {

std::shared_ptr<LoadOutcome> LoadForViewing(const std::string& path, ViewLoadObserver* observer) {
    auto outcome = std::make_shared<LoadOutcome>();
    outcome->path = path;
    try {
        ViewLoad load;
        outcome->ok = LoadImageForView(path, load, outcome->error, outcome->notices, observer);
        if (outcome->ok) {
            outcome->pyramid = load.picture
                                   ? ImagePyramid::FromReduced(load.picture, load.image.width,
                                                               load.image.height, true)
                                   : ImagePyramid::Build(load.image.raster);
            outcome->image = std::move(load.image);
        }
    } catch (const std::bad_alloc&) {
        outcome->ok = false;
        outcome->image = CurrentImage{};
        outcome->error = msg::kReadFailed;
    }
    return outcome;
}

// On the loading thread: hands pictures to the GUI thread as they come.
class ImageLoading::Observer final : public ViewLoadObserver {
  public:
    explicit Observer(ImageLoading& loading) : loading_(loading) {}

    void Reduced(const CurrentImage& image, std::shared_ptr<ReducedPicture> picture,
                 bool complete) override {
        auto outcome = std::make_shared<LoadOutcome>();
        outcome->path = image.path;
        outcome->ok = true;
        outcome->image = image;
        outcome->pyramid =
            ImagePyramid::FromReduced(std::move(picture), image.width, image.height, complete);
        if (!outcome->pyramid) return;
        ImageLoading* loading = &loading_;
        QMetaObject::invokeMethod(
            loading, [loading, outcome] { emit loading->previewed(outcome); },
            Qt::QueuedConnection);
    }

    void RowsFilled() override {
        // A repaint renders the picture afresh: a few a second are enough.
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(250)) return;
        last_ = now;
        ImageLoading* loading = &loading_;
        QMetaObject::invokeMethod(
            loading, [loading] { emit loading->filled(); }, Qt::QueuedConnection);
    }

    bool StopRequested() const override { return loading_.stop_.load(); }

  private:
    ImageLoading& loading_;
    std::chrono::steady_clock::time_point last_{};
};

ImageLoading::ImageLoading(QObject* parent) : QObject(parent) {}

ImageLoading::~ImageLoading() { stop_.store(true); }

bool ImageLoading::Start(const std::string& path, Notifier* notifier) {
    if (task_.Busy()) return false;
    stop_.store(false);  // no load runs: the last one has been delivered
    auto outcome = std::make_shared<std::shared_ptr<LoadOutcome>>();
    return task_.Start(
        [this, outcome, path] {
            Observer observer(*this);
            *outcome = LoadForViewing(path, &observer);
        },
        [this, outcome, notifier] {
            if (notifier)
                for (const std::string& notice : (*outcome)->notices) notifier->ShowNotice(notice);
            emit finished(*outcome);
        });
}

}  // namespace tessarin
