#include "ui/message_presenter.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace tessarin {

void BoxPresenter::ShowError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QCoreApplication::translate("Tessarin", "エラー"), text);
}

void BoxPresenter::ShowNotice(QWidget* parent, const QString& text) {
    auto* box =
        new QMessageBox(QMessageBox::Information, QCoreApplication::translate("Tessarin", "確認"),
                        text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

}  // namespace tessarin
