#pragma once
// "分割サイズ＆オフセット設定": the tile width and height, the two offsets,
// their units and aspect matching. The dialog edits the live record as the
// user types, so the window shows the new cut lines at once; OK keeps the
// values of the chosen units, Cancel puts everything back.

#include <QDialog>
#include <functional>

#include "settings/split_settings.h"
#include "split/block_grid.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

namespace tessarin {

class StepEdit;

class SplitSizeDialog : public QDialog {
    Q_OBJECT

  public:
    // `imageWidth` x `imageHeight` is the image on view, 0 x 0 for none.
    // `preview` runs after every change of the record (the window resizes
    // its selection map and repaints). `block` is the grid of a JPEG on view
    // cut losslessly: the dialog then shows whether the values lie on it and
    // offers to snap them to it.
    SplitSizeDialog(SplitSettings& settings, int imageWidth, int imageHeight,
                    std::function<void()> preview, QWidget* owner, BlockGrid block = {});

    void accept() override;
    void reject() override;

  private:
    // One edit with its up-down and unit list.
    struct Field {
        StepEdit* edit = nullptr;
        QComboBox* units = nullptr;
    };
    enum Which { kWidth, kHeight, kOffsetX, kOffsetY };

    void BuildLayout();
    void ShowRecord();
    void Connect();

    SizeUnit& UnitOf(Which which);
    double& ValueOf(Which which, SizeUnit unit);
    QString ValueText(Which which);
    // Reads the field's text into the value of its unit.
    void ReadField(Which which);

    void OnText(Which which);
    void OnStep(Which which, int steps);
    void OnUnitChosen(Which which, int index);
    void OnAdjustAspectClicked(bool checked);
    // Width or height was edited: the other one follows when matching applies.
    void DeriveOther(Which edited);
    void FollowUnit(Which target, SizeUnit unit);
    void Preview();
    void ShowGrid();
    void OnSnap();
    void PutBackValues();
    bool ImageShown() const { return imageWidth_ > 0 && imageHeight_ > 0; }

    SplitSettings& settings_;
    const SplitSettings original_;
    const int imageWidth_;
    const int imageHeight_;
    std::function<void()> preview_;
    const BlockGrid block_;

    Field fields_[4];
    QCheckBox* adjustAspect_ = nullptr;
    QRadioButton* baseWidth_ = nullptr;
    QRadioButton* baseHeight_ = nullptr;
    QLabel* grid_ = nullptr;
};

}  // namespace tessarin
