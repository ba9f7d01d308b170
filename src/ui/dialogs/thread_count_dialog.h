#pragma once
// "分割同時処理数設定": how many tile workers cut one image at once.

#include "settings/split_settings.h"
#include "ui/dialogs/integer_setting_dialog.h"

namespace tessarin {

class ThreadCountDialog : public IntegerSettingDialog {
    Q_OBJECT

  public:
    ThreadCountDialog(SplitSettings& settings, QWidget* owner);
    void accept() override;

  private:
    SplitSettings& settings_;
};

}  // namespace tessarin
