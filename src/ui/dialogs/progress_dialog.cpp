#include "ui/dialogs/progress_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogs/dialog_frame.h"
#include "ui/translation.h"

namespace tessarin {

ProgressDialog::ProgressDialog() {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    line_ = new QLabel(this);
    line_->setObjectName(QStringLiteral("1023"));
    line_->setAlignment(Qt::AlignCenter);
    // Room for the tile count, so the dialog does not jump as it appears.
    line_->setMinimumWidth(fontMetrics().horizontalAdvance(
        QStringLiteral("100 / 100 (100%) — 1000000 / 1000000 ") + Tessarin::tr("タイル")));
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("1024"));
    bar_->setRange(0, 1);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    auto* stop = new QPushButton(Tessarin::tr("中止"), this);
    stop->setObjectName(QStringLiteral("1026"));
    stop->setAutoDefault(false);
    layout->addWidget(line_);
    layout->addWidget(bar_);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(stop);
    row->addStretch(1);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(stop, &QPushButton::clicked, this, &ProgressDialog::stopClicked);
}

void ProgressDialog::ShowFile(int index, int count) {
    const int percent = count > 0 ? static_cast<int>(100LL * index / count) : 0;
    setWindowTitle(QString::asprintf("%2d%% - ", percent) + Tessarin::tr("分割中"));
    fileLine_ = QString::asprintf("%2d / %2d (%2d%%)", index, count, percent);
    bar_->setRange(0, count);
    tilesDone_ = -1;
    UpdateLine();
}

void ProgressDialog::ShowTiles(int64_t done, int64_t total) {
    if (done == tilesDone_ && total == tilesTotal_) return;
    tilesDone_ = done;
    tilesTotal_ = total;
    UpdateLine();
}

void ProgressDialog::StepFile() { bar_->setValue(std::min(bar_->value() + 1, bar_->maximum())); }

QString ProgressDialog::Line() const { return line_->text(); }

void ProgressDialog::UpdateLine() {
    QString text = fileLine_;
    if (tilesDone_ >= 0 && tilesTotal_ > 0)
        text +=
            QStringLiteral(" — %1 / %2 ").arg(tilesDone_).arg(tilesTotal_) + Tessarin::tr("タイル");
    line_->setText(text);
}

}  // namespace tessarin
