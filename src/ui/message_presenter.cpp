#include "ui/message_presenter.h"

#include <QCoreApplication>
#include <QMessageBox>

#include "ui/dialogs/result_dialog.h"

namespace tessarin {

namespace {

QString Caption(const char* text) { return QCoreApplication::translate("Tessarin", text); }

}  // namespace

void BoxPresenter::ShowError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, Caption("エラー"), text);
}

void BoxPresenter::ShowNotice(QWidget* parent, const QString& text) {
    auto* box =
        new QMessageBox(QMessageBox::Information, Caption("確認"), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

bool BoxPresenter::AskYesNo(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, Caption("確認"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void BoxPresenter::Tell(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, Caption("確認"), text, QMessageBox::Ok, parent);
    box.exec();
}

void BoxPresenter::ShowResult(QWidget* parent, const QString& message,
                              const std::string& outputFolder) {
    ResultDialog dialog(message, outputFolder, parent);
    dialog.exec();
}

void BoxPresenter::ShowResultList(QWidget* parent, const QString& log, bool stopped,
                                  const std::string& outputFolder) {
    ResultListDialog dialog(log, stopped, outputFolder, parent);
    dialog.exec();
}

bool PresenterAsker::AskYesNo(const std::string& text) {
    return presenter_.AskYesNo(parent_, QCoreApplication::translate("Tessarin", text.c_str()));
}

void PresenterAsker::Tell(const std::string& text) {
    presenter_.Tell(parent_, QCoreApplication::translate("Tessarin", text.c_str()));
}

}  // namespace tessarin
