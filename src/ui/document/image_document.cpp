#include "ui/document/image_document.h"

#include "split/image_loader.h"
#include "ui/translation.h"

namespace tessarin {

ImageDocument::ImageDocument(SplitSettings& settings, SettingsPaths& paths, Notifier* notifier,
                             QObject* parent)
    : QObject(parent), settings_(settings), paths_(paths), notifier_(notifier) {}

QString ImageDocument::Title() const {
    return QStringLiteral("Tessarin - ") + QString::fromStdString(image_.path);
}

TileGrid ImageDocument::Grid() const {
    return ComputeGridCounts(image_.width, image_.height, settings_);
}

void ImageDocument::Commit(CurrentImage&& image) {
    // Aspect matching runs with the commit, which never saves.
    const bool matchesAspect = settings_.adjustAspect == 1;
    CommitImage(image_, std::move(image), settings_);
    if (matchesAspect) SaveSettings();
    infoLine_ = Tessarin::tr("【 画 像 情 報 】%1x%2(%3bpp)")
                    .arg(image_.width)
                    .arg(image_.height)
                    .arg(image_.displayDepth)
                    .toStdString();
    FollowGrid();
    emit imageChanged();
}

void ImageDocument::Complete(CurrentImage&& image) {
    image_ = std::move(image);
    emit imageChanged();
}

void ImageDocument::Restore(CurrentImage&& image) {
    if (image.Shown()) {
        Commit(std::move(image));
        return;
    }
    image_ = CurrentImage{};
    infoLine_.clear();
    selection_.Leave();
    FollowGrid();
    emit imageChanged();
}

void ImageDocument::FollowGrid() {
    const TileGrid grid = Grid();
    selection_.ResizeSelectionMap(grid.columns, grid.rows);
    emit selectionChanged();
}

void ImageDocument::SetSelectionMode(bool on) {
    if (on && image_.Shown()) {
        const TileGrid grid = Grid();
        selection_.Enter(grid.columns, grid.rows);
    } else {
        selection_.Leave();
    }
    emit selectionChanged();
}

std::shared_ptr<const SelectionMap> ImageDocument::SelectionSnapshot() const {
    if (!selection_.IsActive()) return nullptr;
    auto copy = std::make_shared<SelectionMap>();
    copy->Enter(selection_.Columns(), selection_.Rows());
    if (!copy->IsActive()) return nullptr;
    for (int j = 0; j <= selection_.Rows(); ++j)
        for (int k = 0; k <= selection_.Columns(); ++k)
            copy->Cell(j, k).flag.store(selection_.Cell(j, k).flag.load(std::memory_order_relaxed),
                                        std::memory_order_relaxed);
    return copy;
}

bool ImageDocument::SaveSettings() { return SaveSplitSettings(settings_, paths_, notifier_); }

}  // namespace tessarin
