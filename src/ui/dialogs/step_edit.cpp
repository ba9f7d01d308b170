#include "ui/dialogs/step_edit.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <algorithm>

#include "platform/text.h"

namespace tessarin {

StepEdit::StepEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    setAlignment(Qt::AlignRight);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    // The text is the value: the spin box's own value keeping stays out.
    setKeyboardTracking(false);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this](const QString& text) {
        lastText_ = text;
        emit textChanged(text);
    });
}

StepEdit* StepEdit::Integer(int id, int min, int max, int value, QWidget* parent) {
    auto* edit = new StepEdit(parent);
    edit->setObjectName(QString::number(id));
    edit->SetDigitsOnly(true);
    edit->SetIntegerRange(min, max);
    edit->SetSampleText(QStringLiteral("-000000"));
    edit->SetPosition(value);
    return edit;
}

QString StepEdit::Text() const { return lineEdit()->text(); }

void StepEdit::SetText(const QString& text) {
    if (text == lineEdit()->text())
        emit textChanged(text);
    else
        lineEdit()->setText(text);
}

void StepEdit::SetSampleText(const QString& sample) {
    sample_ = sample;
    updateGeometry();
}

void StepEdit::SetIntegerRange(int min, int max) {
    hasRange_ = true;
    min_ = min;
    max_ = std::max(min, max);
}

int StepEdit::Position() const {
    const int value = ParseDecimalInt(Text().toStdString());
    return hasRange_ ? std::clamp(value, min_, max_) : value;
}

void StepEdit::SetPosition(int position) {
    SetText(QString::number(hasRange_ ? std::clamp(position, min_, max_) : position));
}

void StepEdit::stepBy(int steps) {
    if (!hasRange_) {
        emit stepRequested(steps);
        return;
    }
    // In 64 bits: a position at the edge of int plus a page of steps.
    const long long next = static_cast<long long>(Position()) + steps;
    SetPosition(static_cast<int>(std::clamp<long long>(next, min_, max_)));
    selectAll();
}

QAbstractSpinBox::StepEnabled StepEdit::stepEnabled() const {
    if (!hasRange_) return StepUpEnabled | StepDownEnabled;
    StepEnabled enabled = StepNone;
    const int position = Position();
    if (position < max_) enabled |= StepUpEnabled;
    if (position > min_) enabled |= StepDownEnabled;
    return enabled;
}

QValidator::State StepEdit::validate(QString& input, int&) const {
    if (!digitsOnly_) return QValidator::Acceptable;
    // A sign put there by stepping below zero may stay; it cannot be typed.
    const bool keepsSign =
        input.startsWith(QLatin1Char('-')) && lastText_.startsWith(QLatin1Char('-'));
    for (qsizetype i = keepsSign ? 1 : 0; i < input.size(); ++i)
        if (input[i] < QLatin1Char('0') || input[i] > QLatin1Char('9')) return QValidator::Invalid;
    return QValidator::Acceptable;
}

QSize StepEdit::sizeHint() const {
    ensurePolished();
    const int textWidth = fontMetrics().horizontalAdvance(sample_) + 2;  // and the cursor
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option,
                                     QSize(textWidth, lineEdit()->sizeHint().height()), this);
}

QSize StepEdit::minimumSizeHint() const { return sizeHint(); }

}  // namespace tessarin
