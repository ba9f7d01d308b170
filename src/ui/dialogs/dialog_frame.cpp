#include "ui/dialogs/dialog_frame.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QDialog>
#include <QPushButton>

#include "ui/translation.h"

namespace tessarin {

void PrepareDialog(QDialog& dialog, const QString& caption, QWidget* owner) {
    dialog.setWindowTitle(caption);
    if (owner) dialog.setWindowIcon(owner->windowIcon());
    dialog.setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    dialog.setModal(true);
}

void AddOkCancel(QDialog& dialog, QBoxLayout& layout) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* ok = new QPushButton(Tessarin::tr("OK"), &dialog);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(Tessarin::tr("キャンセル"), &dialog);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setAutoDefault(false);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout.addLayout(row);
    // Wide enough for the caption next to the window buttons of the title bar.
    const int captionWidth = dialog.fontMetrics().horizontalAdvance(dialog.windowTitle()) * 6 / 5;
    layout.addStrut(captionWidth + 6 * dialog.fontMetrics().height());
    // A fixed size equal to what the contents need at the current font and scale.
    layout.setSizeConstraint(QLayout::SetFixedSize);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
}

QString DialogText(const char* text) { return QCoreApplication::translate("Tessarin", text); }

}  // namespace tessarin
