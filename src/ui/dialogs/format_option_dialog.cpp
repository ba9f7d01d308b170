#include "ui/dialogs/format_option_dialog.h"

#include "ui/translation.h"

namespace tessarin {

FormatOptionDialog::FormatOptionDialog(SplitSettings& settings, const FormatOption& option,
                                       QWidget* owner)
    : IntegerSettingDialog(Tessarin::tr(option.dialog.title), option.dialog.editId, option.minimum,
                           option.maximum, settings.formatOptions.Get(option.section, option.key),
                           Tessarin::tr(option.dialog.rangeText), owner),
      settings_(settings),
      option_(option) {}

void FormatOptionDialog::accept() {
    settings_.formatOptions.Set(option_.section, option_.key, Position());
    IntegerSettingDialog::accept();
}

}  // namespace tessarin
