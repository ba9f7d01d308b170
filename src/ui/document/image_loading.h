#pragma once
// Loading an image for viewing without blocking the window: the file is read
// on a thread of its own into a fresh image, and the result comes back to the
// GUI thread, which makes it current. A large image shows a reduced picture
// before that (see view_loader.h). This is the one place the window calls
// the engine's loader.

#include <QObject>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "imaging/current_image.h"
#include "ui/document/background_task.h"

namespace tessarin {

class ImagePyramid;
class Notifier;
class ViewLoadObserver;

struct LoadOutcome {
    std::string path;
    bool ok = false;
    CurrentImage image;                           // the new image when ok
    std::shared_ptr<const ImagePyramid> pyramid;  // what the viewer draws of it
    std::string error;                            // the loader's message when not ok
    std::vector<std::string> notices;             // the reader's, shown before `finished`
};

// Loads `path` as the window shows it, on the calling thread; never throws.
// `observer` hears of a picture shown before the load is done; may be null.
std::shared_ptr<LoadOutcome> LoadForViewing(const std::string& path, ViewLoadObserver* observer);

class ImageLoading : public QObject {
    Q_OBJECT

  public:
    explicit ImageLoading(QObject* parent = nullptr);
    // Destroying the loading stops a load in flight between two bands and
    // waits for it.
    ~ImageLoading() override;

    // Starts reading `path`; the reader's notices go to `notifier` on the GUI
    // thread once the load is done, before `finished`. False, with nothing
    // started, while another load runs or when no thread can be had.
    bool Start(const std::string& path, Notifier* notifier);
    bool Busy() const { return task_.Busy(); }
    // Ends the load in hand at its next band or rows (inside the library for
    // a JPEG file): it finishes soon after as failed, with no message.
    void Stop() { stop_.store(true); }
    // Stops the load in hand; whether it has ended within `limit` (a format
    // read in one go may not stop before its end).
    bool StopWithin(std::chrono::milliseconds limit) {
        Stop();
        return task_.EndsWithin(limit);
    }

  signals:
    // On the GUI thread. A picture to show until `finished`: `image` has the
    // size and facts of the image, but nothing to cut from. At most once per
    // load, before `finished`.
    void previewed(std::shared_ptr<LoadOutcome> outcome);
    // More rows of the previewed picture are filled (a few times a second).
    void filled();
    // Once per started load.
    void finished(std::shared_ptr<LoadOutcome> outcome);

  private:
    class Observer;
    std::atomic<bool> stop_{false};
    BackgroundTask task_;
};

}  // namespace tessarin
