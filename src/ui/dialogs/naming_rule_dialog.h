#pragma once
// "ファイル命名規則設定": how tiles are numbered in their file names, the
// number of the first row, column or tile, and the zero padding.

#include <QDialog>

#include "settings/split_settings.h"

class QButtonGroup;
class QCheckBox;

namespace tessarin {

class MessagePresenter;
class StepEdit;

class NamingRuleDialog : public QDialog {
    Q_OBJECT

  public:
    NamingRuleDialog(SplitSettings& settings, MessagePresenter& messages, QWidget* owner);
    void accept() override;

  private:
    SplitSettings& settings_;
    MessagePresenter& messages_;
    QButtonGroup* formats_ = nullptr;
    QCheckBox* reverse_ = nullptr;
    StepEdit* firstNumber_ = nullptr;
    StepEdit* digits_ = nullptr;
};

}  // namespace tessarin
