#include "ui/image_loading.h"

#include <new>
#include <system_error>

#include "split/image_loader.h"
#include "split/messages.h"
#include "ui/image_pyramid.h"

namespace tessarin {

ImageLoading::ImageLoading(QObject* parent) : QObject(parent) {}

ImageLoading::~ImageLoading() {
    if (thread_.joinable()) thread_.join();
}

bool ImageLoading::Start(const std::string& path, Notifier* notifier) {
    if (busy_) return false;
    if (thread_.joinable()) thread_.join();  // finished already: its result has been delivered
    auto outcome = std::make_shared<LoadOutcome>();
    outcome->path = path;
    try {
        thread_ = std::thread([this, outcome, notifier] {
            try {
                outcome->ok =
                    LoadImageFile(outcome->path, notifier, outcome->image, outcome->error);
                if (outcome->ok) outcome->pyramid = ImagePyramid::Build(outcome->image.raster);
            } catch (const std::bad_alloc&) {
                outcome->ok = false;
                outcome->image = CurrentImage{};
                outcome->error = msg::kReadFailed;
            }
            // Runs on the GUI thread; dropped if this object is gone by then.
            QMetaObject::invokeMethod(
                this,
                [this, outcome] {
                    busy_ = false;
                    emit finished(outcome);
                },
                Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        return false;
    }
    busy_ = true;
    return true;
}

}  // namespace tessarin
