#include "ui/dialogs/result_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/desktop_opener.h"
#include "ui/dialogs/dialog_frame.h"
#include "ui/translation.h"

namespace tessarin {

namespace {

// "OK" (id 1) and "保存フォルダを開く" (id 1002) below the contents.
void AddResultButtons(QDialog& dialog, QBoxLayout& layout, const std::string& outputFolder) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* ok = new QPushButton(Tessarin::tr("OK"), &dialog);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    auto* open = new QPushButton(Tessarin::tr("保存フォルダを開く"), &dialog);
    open->setObjectName(QStringLiteral("1002"));
    open->setAutoDefault(false);
    row->addWidget(ok);
    row->addWidget(open);
    row->addStretch(1);
    layout.addLayout(row);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(open, &QPushButton::clicked, &dialog, [&dialog, outputFolder] {
        // Nothing has been written in this run yet: there is no folder to show.
        if (!outputFolder.empty()) OpenOnDesktop(outputFolder);
        dialog.reject();
    });
}

}  // namespace

void ReportDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    QApplication::beep();
    raise();
    activateWindow();
}

ResultDialog::ResultDialog(const QString& message, const std::string& outputFolder, QWidget* owner)
    : ReportDialog(owner) {
    PrepareDialog(*this, Tessarin::tr("確認"), owner);
    auto* layout = new QVBoxLayout(this);
    message_ = new QLabel(message, this);
    message_->setObjectName(QStringLiteral("1014"));
    message_->setAlignment(Qt::AlignCenter);
    message_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    layout->addWidget(message_);
    AddResultButtons(*this, *layout, outputFolder);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

ResultListDialog::ResultListDialog(const QString& log, bool stopped,
                                   const std::string& outputFolder, QWidget* owner)
    : ReportDialog(owner) {
    PrepareDialog(*this, stopped ? Tessarin::tr("分割処理中止") : Tessarin::tr("分割処理終了！"),
                  owner);
    auto* layout = new QVBoxLayout(this);
    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("1017"));
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette palette = log_->palette();
    palette.setColor(QPalette::Base, Qt::white);
    log_->setPalette(palette);
    log_->setPlainText(log);
    // The last lines are the latest; show them.
    log_->moveCursor(QTextCursor::End);
    layout->addWidget(log_);
    AddResultButtons(*this, *layout, outputFolder);
    resize(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 80, fontMetrics().height() * 28);
}

}  // namespace tessarin
