#pragma once
// "保存フォルダ設定": where the tiles go. An absolute folder (created when
// missing, if asked) or a folder some levels above the source image, and an
// optional sub-folder made for the tiles, one for all or one per image. The
// record changes only on OK.

#include <QDialog>

#include "settings/split_settings.h"

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace tessarin {

class StepEdit;

class SaveFolderDialog : public QDialog {
    Q_OBJECT

  public:
    SaveFolderDialog(SplitSettings& settings, QWidget* owner);

    void accept() override;

  private:
    void BuildLayout();
    void ShowRecord();
    void ShowRelative(bool relative);
    void BrowseFolder();

    SplitSettings& settings_;
    QCheckBox* relative_ = nullptr;
    StepEdit* level_ = nullptr;
    QCheckBox* makeDir_ = nullptr;
    QLineEdit* path_ = nullptr;
    QToolButton* browse_ = nullptr;
    QCheckBox* makeFolder_ = nullptr;
    QCheckBox* uniqueFolder_ = nullptr;
};

// The folder as stored: one trailing "/" removed, except from the root.
std::string StoredSavePath(const std::string& typed);

}  // namespace tessarin
