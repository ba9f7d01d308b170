#include "ui/image_loading.h"

#include <new>

#include "split/image_loader.h"
#include "split/messages.h"
#include "ui/image_pyramid.h"

namespace tessarin {

bool ImageLoading::Start(const std::string& path, Notifier* notifier) {
    auto outcome = std::make_shared<LoadOutcome>();
    outcome->path = path;
    return task_.Start(
        [outcome, notifier] {
            try {
                outcome->ok =
                    LoadImageFile(outcome->path, notifier, outcome->image, outcome->error);
                if (outcome->ok) outcome->pyramid = ImagePyramid::Build(outcome->image.raster);
            } catch (const std::bad_alloc&) {
                outcome->ok = false;
                outcome->image = CurrentImage{};
                outcome->error = msg::kReadFailed;
            }
        },
        [this, outcome] { emit finished(outcome); });
}

}  // namespace tessarin
