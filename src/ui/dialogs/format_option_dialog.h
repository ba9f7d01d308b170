#pragma once
// The dialog of a format's option of whole numbers (FormatOption::dialog):
// "JPEG品質設定", opened when exact JPEG cutting is switched on, and those the
// formats give a menu item of their own.

#include "platform/format_option.h"
#include "settings/split_settings.h"
#include "ui/dialogs/integer_setting_dialog.h"

namespace tessarin {

class FormatOptionDialog : public IntegerSettingDialog {
    Q_OBJECT

  public:
    FormatOptionDialog(SplitSettings& settings, const FormatOption& option, QWidget* owner);
    void accept() override;

  private:
    SplitSettings& settings_;
    const FormatOption& option_;
};

}  // namespace tessarin
