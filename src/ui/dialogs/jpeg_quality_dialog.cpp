#include "ui/dialogs/jpeg_quality_dialog.h"

#include <algorithm>

#include "ui/dialogs/dialog_frame.h"
#include "ui/translation.h"

namespace tessarin {

JpegQualityDialog::JpegQualityDialog(SplitSettings& settings, QWidget* owner)
    : IntegerSettingDialog(Tessarin::tr("JPEG品質設定"), 1018, 0, 100, settings.jpegQuality,
                           Tessarin::tr("（悪 0 ～ 100 良）"), owner),
      settings_(settings) {}

void JpegQualityDialog::accept() {
    settings_.jpegQuality = std::clamp(Position(), 0, 100);
    IntegerSettingDialog::accept();
}

}  // namespace tessarin
