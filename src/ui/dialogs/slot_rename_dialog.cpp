#include "ui/dialogs/slot_rename_dialog.h"

#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/dialogs/dialog_frame.h"
#include "ui/translation.h"

namespace tessarin {

namespace {

constexpr int kNameUnits = 255;  // UTF-16 units, as QLineEdit counts them

}  // namespace

SlotRenameDialog::SlotRenameDialog(const std::string& name, QWidget* owner) : QDialog(owner) {
    PrepareDialog(*this, Tessarin::tr("名前を変更"), owner);
    auto* layout = new QVBoxLayout(this);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("1032"));
    name_->setMaxLength(kNameUnits);
    name_->setText(QString::fromStdString(name));
    name_->setMinimumWidth(name_->fontMetrics().horizontalAdvance(QChar(0x8A2D)) * 20);
    layout->addWidget(name_);
    AddOkCancel(*this, *layout);
    name_->setFocus();
    name_->selectAll();
}

std::string SlotRenameDialog::Name() const { return name_->text().toStdString(); }

}  // namespace tessarin
