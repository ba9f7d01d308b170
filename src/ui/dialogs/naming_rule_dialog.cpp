#include "ui/dialogs/naming_rule_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/dialogs/dialog_frame.h"
#include "ui/dialogs/message_presenter.h"
#include "ui/dialogs/step_edit.h"
#include "ui/translation.h"

namespace tessarin {

namespace {

struct FormatChoice {
    int id;
    NameFormat format;
    const char* text;
};

const FormatChoice kFormats[] = {
    {1010, NameFormat::RowCol,
     QT_TRANSLATE_NOOP("Tessarin", "ファイル名の後に「_行番_列番」を付ける")},
    {1009, NameFormat::ColRow,
     QT_TRANSLATE_NOOP("Tessarin", "ファイル名の後に「_列番_行番」を付ける")},
    {1012, NameFormat::AcrossCount,
     QT_TRANSLATE_NOOP("Tessarin", "ファイル名の後に「_左上から横に数えた番号」を付ける")},
    {1011, NameFormat::DownCount,
     QT_TRANSLATE_NOOP("Tessarin", "ファイル名の後に「_左上から縦に数えた番号」を付ける")},
};

// A group box holding a number edit and the text after it.
StepEdit* NumberGroup(const char* title, int editId, int min, int max, int value,
                      const char* unitText, QWidget* parent, QBoxLayout& into) {
    auto* group = new QGroupBox(DialogText(title), parent);
    auto* row = new QHBoxLayout(group);
    auto* edit = StepEdit::Integer(editId, min, max, value, group);
    row->addWidget(edit, 1);
    row->addWidget(new QLabel(DialogText(unitText), group));
    into.addWidget(group);
    return edit;
}

}  // namespace

NamingRuleDialog::NamingRuleDialog(SplitSettings& settings, MessagePresenter& messages,
                                   QWidget* owner)
    : QDialog(owner), settings_(settings), messages_(messages) {
    PrepareDialog(*this, Tessarin::tr("ファイル命名規則設定"), owner);
    auto* layout = new QVBoxLayout(this);

    auto* format = new QGroupBox(Tessarin::tr("番号書式設定"), this);
    auto* formatLayout = new QVBoxLayout(format);
    formats_ = new QButtonGroup(this);
    for (const FormatChoice& choice : kFormats) {
        auto* radio = new QRadioButton(DialogText(choice.text), format);
        radio->setObjectName(QString::number(choice.id));
        radio->setChecked(choice.format == settings.nameFormat);
        formats_->addButton(radio, static_cast<int>(choice.format));
        formatLayout->addWidget(radio);
    }
    reverse_ = new QCheckBox(Tessarin::tr("左右の順番を逆（右から）にする"), format);
    reverse_->setObjectName(QStringLiteral("1022"));
    reverse_->setChecked(settings.reverse);
    formatLayout->addWidget(reverse_);
    layout->addWidget(format);

    // Negative first numbers are reached with the arrows; the edit takes digits.
    auto* numbers = new QHBoxLayout;
    firstNumber_ =
        NumberGroup(QT_TRANSLATE_NOOP("Tessarin", "振り始め番号設定"), 1015, -32768, 32767,
                    settings.firstNumber, QT_TRANSLATE_NOOP("Tessarin", "番 ～"), this, *numbers);
    digits_ = NumberGroup(QT_TRANSLATE_NOOP("Tessarin", "ゼロ埋め桁数設定"), 1007, 0, 32767,
                          settings.digits, QT_TRANSLATE_NOOP("Tessarin", "桁"), this, *numbers);
    layout->addLayout(numbers);

    AddOkCancel(*this, *layout);
}

void NamingRuleDialog::accept() {
    const int format = formats_->checkedId();
    if (format < 0)
        messages_.ShowError(this, Tessarin::tr("設定に失敗しました"));
    else
        settings_.nameFormat = static_cast<NameFormat>(format);
    settings_.reverse = reverse_->isChecked();
    settings_.firstNumber = firstNumber_->Position();
    settings_.digits = std::max(0, digits_->Position());
    QDialog::accept();
}

}  // namespace tessarin
