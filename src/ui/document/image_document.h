#pragma once
// The image the window works on, without any widget: the current image and
// its information line, the split settings it is cut with, and the tiles
// picked in selection mode. Views and menus follow it through its signals.

#include <QObject>
#include <QString>
#include <memory>
#include <string>

#include "imaging/current_image.h"
#include "settings/split_settings.h"
#include "split/geometry.h"
#include "split/selection.h"

namespace tessarin {

class Notifier;

class ImageDocument : public QObject {
    Q_OBJECT

  public:
    // `settings` and `paths` are the process's; `notifier` hears about
    // settings files that cannot be written.
    ImageDocument(SplitSettings& settings, SettingsPaths& paths, Notifier* notifier,
                  QObject* parent = nullptr);

    const CurrentImage& Image() const { return image_; }
    bool HasImage() const { return image_.Shown(); }
    // "Tessarin - <path>".
    QString Title() const;
    const std::string& InfoLine() const { return infoLine_; }
    SplitSettings& Settings() const { return settings_; }
    SettingsPaths& Paths() const { return paths_; }
    SelectionMap& Selection() { return selection_; }
    const SelectionMap& Selection() const { return selection_; }
    bool InSelectionMode() const { return selection_.IsActive(); }
    // The tiles of the current image under the current settings.
    TileGrid Grid() const;

    // Makes `image` current. With aspect matching on, the settings derived
    // from its proportions are saved at once.
    void Commit(CurrentImage&& image);
    // `image` is the current image, loaded whole after a reduced picture of
    // it was committed: what it is cut from changes, nothing else.
    void Complete(CurrentImage&& image);
    // Puts back the image that was current before a load whose picture was
    // committed failed; an image never shown leaves the document empty.
    void Restore(CurrentImage&& image);
    // The settings changed the grid: the selection map follows it.
    void FollowGrid();
    // Enters selection mode over the current grid (only with an image), or leaves it.
    void SetSelectionMode(bool on);
    // The selection as it is when a split starts, or null outside selection
    // mode. The split reads its own copy, so the map may change or be
    // resized (a batch shows each file as it comes) while workers run.
    std::shared_ptr<const SelectionMap> SelectionSnapshot() const;
    bool SaveSettings();

  signals:
    void imageChanged();
    // The map was resized, entered or left.
    void selectionChanged();

  private:
    SplitSettings& settings_;
    SettingsPaths& paths_;
    Notifier* notifier_;
    CurrentImage image_;
    std::string infoLine_;
    SelectionMap selection_;
};

}  // namespace tessarin
