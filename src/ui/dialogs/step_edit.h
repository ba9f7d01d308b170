#pragma once
// An edit with an up-down control: free text (or digits only), stepped by the
// arrow buttons, the Up and Down keys and the wheel. The edit keeps whatever
// the user types; what a step does is left to the owner (stepRequested), or,
// for an integer field, done here within a range.

#include <QAbstractSpinBox>
#include <QString>

namespace tessarin {

class StepEdit : public QAbstractSpinBox {
    Q_OBJECT

  public:
    explicit StepEdit(QWidget* parent = nullptr);
    // A digits-only integer field with control id `id`, showing `value`.
    static StepEdit* Integer(int id, int min, int max, int value, QWidget* parent);

    QString Text() const;
    // Replaces the text. textChanged follows even when the text stays the
    // same, as an edit control reports every setting of its text.
    void SetText(const QString& text);

    // Only the digits 0 to 9 can be typed (a sign the text already starts
    // with stays).
    void SetDigitsOnly(bool digitsOnly) { digitsOnly_ = digitsOnly; }
    // The width that shows `sample` in full.
    void SetSampleText(const QString& sample);

    // An integer field: steps move the position by one within min..max and
    // write it as the text. Without a range, steps are only reported.
    void SetIntegerRange(int min, int max);
    // The position the text stands for: its decimal integer clamped to the
    // range (0 clamped when the text holds no number).
    int Position() const;
    void SetPosition(int position);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void textChanged(const QString& text);
    // Up (positive) or down (negative) by `steps`, for fields without a range.
    void stepRequested(int steps);

  protected:
    StepEnabled stepEnabled() const override;

  private:
    bool digitsOnly_ = false;
    bool hasRange_ = false;
    int min_ = 0;
    int max_ = 0;
    QString sample_ = QStringLiteral("00000");
    // The text before the edit being validated (the edit holds the new one).
    QString lastText_;
};

}  // namespace tessarin
