#include "ui/dialogs/integer_setting_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/dialogs/dialog_frame.h"
#include "ui/dialogs/step_edit.h"

namespace tessarin {

IntegerSettingDialog::IntegerSettingDialog(const QString& caption, int editId, int min, int max,
                                           int value, const QString& unitText, QWidget* owner)
    : QDialog(owner) {
    PrepareDialog(*this, caption, owner);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    edit_ = StepEdit::Integer(editId, min, max, value, this);
    row->addWidget(edit_, 1);
    if (!unitText.isEmpty()) row->addWidget(new QLabel(unitText, this));
    layout->addLayout(row);
    AddOkCancel(*this, *layout);
    edit_->setFocus();
    edit_->selectAll();
}

int IntegerSettingDialog::Position() const { return edit_->Position(); }

}  // namespace tessarin
