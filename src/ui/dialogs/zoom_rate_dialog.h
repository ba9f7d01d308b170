#pragma once
// "表示倍率変化率設定": the factor of one zoom step of the view.

#include <QDialog>

#include "settings/split_settings.h"

class QLineEdit;

namespace tessarin {

class ZoomRateDialog : public QDialog {
    Q_OBJECT

  public:
    ZoomRateDialog(SplitSettings& settings, QWidget* owner);
    void accept() override;

  private:
    SplitSettings& settings_;
    QLineEdit* rate_ = nullptr;
};

// The rate a typed text stands for: its decimal number; 0.9 for text that is
// no number, 0 or below, or not finite.
double ZoomRateFromText(const std::string& text);

}  // namespace tessarin
