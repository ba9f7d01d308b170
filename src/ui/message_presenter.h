#pragma once
// The message boxes of the window. Tests install their own presenter so that
// no box ever waits for a user who is not there.

#include <QString>

class QWidget;

namespace tessarin {

class MessagePresenter {
  public:
    virtual ~MessagePresenter() = default;
    // Caption "エラー", error icon, OK; returns when the user has closed it.
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
    // Caption "確認", OK only; returns at once.
    virtual void ShowNotice(QWidget* parent, const QString& text) = 0;
};

// QMessageBox.
class BoxPresenter : public MessagePresenter {
  public:
    void ShowError(QWidget* parent, const QString& text) override;
    void ShowNotice(QWidget* parent, const QString& text) override;
};

}  // namespace tessarin
