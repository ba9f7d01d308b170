#include "ui/image_loading.h"

#include <new>
#include <system_error>

#include "split/image_loader.h"
#include "split/job_state.h"
#include "split/messages.h"

namespace tessarin {

ImageLoading::ImageLoading(QObject* parent) : QObject(parent) {}

ImageLoading::~ImageLoading() {
    if (thread_.joinable()) thread_.join();
}

bool ImageLoading::Start(const std::string& path, const SplitSettings& settings,
                         Notifier* notifier) {
    if (busy_) return false;
    if (thread_.joinable()) thread_.join();  // finished already: its result has been delivered
    auto outcome = std::make_shared<LoadOutcome>();
    outcome->path = path;
    try {
        thread_ = std::thread([this, outcome, settings = settings, notifier]() mutable {
            JobState job;
            try {
                outcome->ok =
                    LoadCurrentImage(outcome->path, outcome->image, settings, job, notifier);
                if (outcome->ok)
                    outcome->display = MakeDisplayImage(*outcome->image.raster);
                else
                    outcome->error = job.ErrorText();
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
