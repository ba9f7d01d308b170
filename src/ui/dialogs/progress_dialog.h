#pragma once
// The progress of a batch (resource 208): a line, a bar stepped once per
// file and "中止", which asks the batch to stop after the file in hand. The
// batch writes the title, the line and the bar; closing the dialog with the
// close box does not stop the batch.

#include <QDialog>
#include <cstdint>

class QLabel;
class QProgressBar;

namespace tessarin {

class ProgressDialog : public QDialog {
    Q_OBJECT

  public:
    // No owner: the main window stays usable (and busy) beside it.
    ProgressDialog();

    // Before file `index` of `count`: "%2d%% - 分割中" and "%2d / %2d (%2d%%)".
    void ShowFile(int index, int count);
    // Tiles of the file in hand; appended to the line as "… — done / total タイル".
    void ShowTiles(int64_t done, int64_t total);
    // After a file: the bar moves one step.
    void StepFile();

    QString Line() const;

  signals:
    void stopClicked();

  private:
    void UpdateLine();

    QLabel* line_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QString fileLine_;
    int64_t tilesDone_ = -1;
    int64_t tilesTotal_ = 0;
};

}  // namespace tessarin
