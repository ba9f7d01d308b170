#pragma once
// A dialog of one whole number: a digits-only edit with an up-down control
// that steps within a range, an optional text after it, OK and Cancel. The
// JPEG quality and thread count dialogs are this with their own fields.

#include <QDialog>

namespace tessarin {

class StepEdit;

class IntegerSettingDialog : public QDialog {
    Q_OBJECT

  protected:
    IntegerSettingDialog(const QString& caption, int editId, int min, int max, int value,
                         const QString& unitText, QWidget* owner);

    // What the up-down shows for the edit's text: the number typed, kept
    // inside the range.
    int Position() const;

  private:
    StepEdit* edit_ = nullptr;
};

}  // namespace tessarin
