#pragma once
// The message boxes and result dialogs of the window and of the icon-drop
// start. Tests install their own presenter so that no box ever waits for a
// user who is not there. `parent` is null where no window exists yet.

#include <QString>
#include <string>

#include "split/split_checks.h"

class QWidget;

namespace tessarin {

class MessagePresenter {
  public:
    virtual ~MessagePresenter() = default;
    // Caption "エラー", error icon, OK; returns when the user has closed it.
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
    // Caption "確認", OK only; returns at once.
    virtual void ShowNotice(QWidget* parent, const QString& text) = 0;
    // Caption "確認", Yes and No, question icon; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
    // Caption "確認", OK only, no icon; returns when the user has closed it.
    virtual void Tell(QWidget* parent, const QString& text) = 0;
    // The result dialog 210 with `message`; its folder button opens `outputFolder`.
    virtual void ShowResult(QWidget* parent, const QString& message,
                            const std::string& outputFolder) = 0;
    // The result list 204 with the batch's lines.
    virtual void ShowResultList(QWidget* parent, const QString& log, bool stopped,
                                const std::string& outputFolder) = 0;
};

// QMessageBox and the result dialogs.
class BoxPresenter : public MessagePresenter {
  public:
    void ShowError(QWidget* parent, const QString& text) override;
    void ShowNotice(QWidget* parent, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    void Tell(QWidget* parent, const QString& text) override;
    void ShowResult(QWidget* parent, const QString& message,
                    const std::string& outputFolder) override;
    void ShowResultList(QWidget* parent, const QString& log, bool stopped,
                        const std::string& outputFolder) override;
};

// The questions before a split, asked through a presenter.
class PresenterAsker : public SplitAsker {
  public:
    PresenterAsker(MessagePresenter& presenter, QWidget* parent)
        : presenter_(presenter), parent_(parent) {}
    bool AskYesNo(const std::string& text) override;
    void Tell(const std::string& text) override;

  private:
    MessagePresenter& presenter_;
    QWidget* parent_;
};

}  // namespace tessarin
