#pragma once
// Loading an image for viewing without blocking the window: the file is read
// on a thread of its own into a fresh image, and the result comes back to the
// GUI thread, which makes it current. This is the one place the window calls
// the engine's loader.

#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "imaging/current_image.h"
#include "ui/document/background_task.h"

namespace tessarin {

class ImagePyramid;
class Notifier;

struct LoadOutcome {
    std::string path;
    bool ok = false;
    CurrentImage image;                           // the new image when ok
    std::shared_ptr<const ImagePyramid> pyramid;  // what the viewer draws of it
    std::string error;                            // the loader's message when not ok
    std::vector<std::string> notices;             // the reader's, shown before `finished`
};

class ImageLoading : public QObject {
    Q_OBJECT

  public:
    // Destroying the loading waits for a load in flight.
    explicit ImageLoading(QObject* parent = nullptr) : QObject(parent) {}

    // Starts reading `path`; the reader's notices go to `notifier` on the GUI
    // thread once the load is done, before `finished`. False, with nothing
    // started, while another load runs or when no thread can be had.
    bool Start(const std::string& path, Notifier* notifier);
    bool Busy() const { return task_.Busy(); }

  signals:
    // On the GUI thread, once per started load.
    void finished(std::shared_ptr<LoadOutcome> outcome);

  private:
    BackgroundTask task_;
};

}  // namespace tessarin
