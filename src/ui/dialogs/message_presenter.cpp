#include "ui/dialogs/message_presenter.h"

#include <QMessageBox>

#include "ui/dialogs/result_dialog.h"
#include "ui/translation.h"

namespace tessarin {

void BoxPresenter::ShowError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, Tessarin::tr("エラー"), text);
}

void BoxPresenter::ShowNotice(QWidget* parent, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, Tessarin::tr("確認"), text,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

bool BoxPresenter::AskYesNo(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, Tessarin::tr("確認"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void BoxPresenter::Tell(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, Tessarin::tr("確認"), text, QMessageBox::Ok, parent);
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
    return presenter_.AskYesNo(parent_, EngineText(text));
}

void PresenterAsker::Tell(const std::string& text) { presenter_.Tell(parent_, EngineText(text)); }

}  // namespace tessarin
