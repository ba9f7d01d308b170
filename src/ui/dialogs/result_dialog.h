#pragma once
// The result of a split: dialog 210 with a short message, and the result
// list 204 with one line per file of a batch. Both have "OK" and "保存フォルダ
// を開く", which opens the last output folder in the desktop's file manager.

#include <QDialog>
#include <string>

class QBoxLayout;
class QLabel;
class QPlainTextEdit;

namespace tessarin {

// Sounds and comes to the front when shown.
class ReportDialog : public QDialog {
    Q_OBJECT

  public:
    using QDialog::QDialog;

  protected:
    void showEvent(QShowEvent* event) override;
};

// Dialog 210, caption "確認": `message` above the two buttons. OK ends with
// 1, the folder button and the close box with 0.
class ResultDialog : public ReportDialog {
    Q_OBJECT

  public:
    ResultDialog(const QString& message, const std::string& outputFolder, QWidget* owner);

  private:
    QLabel* message_ = nullptr;
};

// Dialog 204: the result log in a read-only white text box that scrolls both
// ways. Titled "分割処理中止" when the batch was stopped, else "分割処理終了！".
class ResultListDialog : public ReportDialog {
    Q_OBJECT

  public:
    ResultListDialog(const QString& log, bool stopped, const std::string& outputFolder,
                     QWidget* owner);

  private:
    QPlainTextEdit* log_ = nullptr;
};

}  // namespace tessarin
