#include "ui/dialogs/thread_count_dialog.h"

#include <algorithm>

#include "ui/dialogs/dialog_frame.h"
#include "ui/translation.h"

namespace tessarin {

ThreadCountDialog::ThreadCountDialog(SplitSettings& settings, QWidget* owner)
    : IntegerSettingDialog(Tessarin::tr("分割同時処理数設定"), 1020, 1, 32767, settings.threadCount,
                           QString(), owner),
      settings_(settings) {}

void ThreadCountDialog::accept() {
    settings_.threadCount = std::max(1, Position());
    IntegerSettingDialog::accept();
}

}  // namespace tessarin
