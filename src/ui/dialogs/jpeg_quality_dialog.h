#pragma once
// "JPEG品質設定": the quality of re-encoded JPEG tiles, 0 to 100. Opened when
// exact JPEG cutting is switched on.

#include "settings/split_settings.h"
#include "ui/dialogs/integer_setting_dialog.h"

namespace tessarin {

class JpegQualityDialog : public IntegerSettingDialog {
    Q_OBJECT

  public:
    JpegQualityDialog(SplitSettings& settings, QWidget* owner);
    void accept() override;

  private:
    SplitSettings& settings_;
};

}  // namespace tessarin
