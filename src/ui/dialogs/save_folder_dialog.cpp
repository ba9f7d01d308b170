#include "ui/dialogs/save_folder_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/dialogs/dialog_frame.h"
#include "ui/dialogs/step_edit.h"
#include "ui/translation.h"

namespace tessarin {

namespace {

constexpr int kMaxLevel = 100;

QCheckBox* CheckBox(const char* text, int id, QWidget* parent) {
    auto* box = new QCheckBox(DialogText(text), parent);
    box->setObjectName(QString::number(id));
    return box;
}

}  // namespace

std::string StoredSavePath(const std::string& typed) {
    std::string path = typed;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

SaveFolderDialog::SaveFolderDialog(SplitSettings& settings, QWidget* owner)
    : QDialog(owner), settings_(settings) {
    PrepareDialog(*this, Tessarin::tr("保存フォルダ設定"), owner);
    BuildLayout();
    ShowRecord();
    connect(relative_, &QCheckBox::toggled, this, &SaveFolderDialog::ShowRelative);
    connect(makeFolder_, &QCheckBox::toggled, uniqueFolder_, &QCheckBox::setEnabled);
    connect(browse_, &QToolButton::clicked, this, &SaveFolderDialog::BrowseFolder);
}

void SaveFolderDialog::BuildLayout() {
    auto* layout = new QVBoxLayout(this);

    // One sentence: write N levels above the source image file.
    auto* levelRow = new QHBoxLayout;
    relative_ = CheckBox(QT_TRANSLATE_NOOP("Tessarin", "分割元画像ファイルの"), 1027, this);
    level_ = StepEdit::Integer(1028, 0, kMaxLevel, 0, this);
    levelRow->addWidget(relative_);
    levelRow->addWidget(level_);
    levelRow->addWidget(new QLabel(Tessarin::tr("階層上に出力する"), this));
    levelRow->addStretch(1);
    layout->addLayout(levelRow);

    auto* folder = new QGroupBox(Tessarin::tr("保存フォルダ"), this);
    auto* folderLayout = new QVBoxLayout(folder);
    makeDir_ = CheckBox(
        QT_TRANSLATE_NOOP("Tessarin", "パスに存在しないディレクトリを含む場合は作成を試みる"), 1005,
        folder);
    folderLayout->addWidget(makeDir_);
    auto* pathRow = new QHBoxLayout;
    path_ = new QLineEdit(folder);
    path_->setObjectName(QStringLiteral("1001"));
    path_->setMinimumWidth(path_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 36);
    browse_ = new QToolButton(folder);
    browse_->setText(QStringLiteral("..."));
    browse_->setObjectName(QStringLiteral("1002"));
    browse_->setFocusPolicy(Qt::StrongFocus);
    browse_->setToolTip(Tessarin::tr("保存フォルダの選択"));
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse_);
    folderLayout->addLayout(pathRow);
    layout->addWidget(folder);

    makeFolder_ = CheckBox(
        QT_TRANSLATE_NOOP("Tessarin", "出力先フォルダの中にフォルダを自動生成し、その中に出力する"),
        1030, this);
    layout->addWidget(makeFolder_);
    auto* uniqueRow = new QHBoxLayout;
    uniqueFolder_ =
        CheckBox(QT_TRANSLATE_NOOP("Tessarin",
                                   "分割元画像ファイルごとに、自動生成するフォルダの名前を変える"),
                 1031, this);
    // Indented under the box it depends on.
    uniqueRow->addSpacing(style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                          style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
    uniqueRow->addWidget(uniqueFolder_);
    layout->addLayout(uniqueRow);

    AddOkCancel(*this, *layout);
}

void SaveFolderDialog::ShowRecord() {
    path_->setText(QString::fromStdString(settings_.savePath));
    relative_->setChecked(settings_.relative);
    ShowRelative(settings_.relative);
    level_->SetPosition(settings_.dirLevel);
    makeDir_->setChecked(settings_.makeDir);
    makeFolder_->setChecked(settings_.makeFolder);
    uniqueFolder_->setChecked(settings_.uniqueFolder);
    uniqueFolder_->setEnabled(settings_.makeFolder);
}

void SaveFolderDialog::ShowRelative(bool relative) {
    level_->setEnabled(relative);
    path_->setEnabled(!relative);
    browse_->setEnabled(!relative);
    makeDir_->setEnabled(!relative);
}

void SaveFolderDialog::BrowseFolder() {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, Tessarin::tr("保存フォルダの選択"), path_->text());
    if (!chosen.isEmpty()) path_->setText(chosen);
}

void SaveFolderDialog::accept() {
    // Greyed controls count as well: their values are kept for later.
    settings_.savePath = StoredSavePath(path_->text().toStdString());
    settings_.relative = relative_->isChecked();
    settings_.makeDir = makeDir_->isChecked();
    settings_.makeFolder = makeFolder_->isChecked();
    settings_.uniqueFolder = uniqueFolder_->isChecked();
    settings_.dirLevel = level_->Position();
    QDialog::accept();
}

}  // namespace tessarin
