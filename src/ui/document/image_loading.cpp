#include "ui/document/image_loading.h"

#include <new>

#include "platform/notifier.h"
#include "split/image_loader.h"
#include "split/messages.h"
#include "ui/view/image_pyramid.h"

namespace tessarin {

bool ImageLoading::Start(const std::string& path, Notifier* notifier) {
    auto outcome = std::make_shared<LoadOutcome>();
    outcome->path = path;
    return task_.Start(
        [outcome] {
            try {
                outcome->ok =
                    LoadImageFile(outcome->path, outcome->image, outcome->error, outcome->notices);
                if (outcome->ok) outcome->pyramid = ImagePyramid::Build(outcome->image.raster);
            } catch (const std::bad_alloc&) {
                outcome->ok = false;
                outcome->image = CurrentImage{};
                outcome->error = msg::kReadFailed;
            }
        },
        [this, outcome, notifier] {
            if (notifier)
                for (const std::string& notice : outcome->notices) notifier->ShowNotice(notice);
            emit finished(outcome);
        });
}

}  // namespace tessarin
