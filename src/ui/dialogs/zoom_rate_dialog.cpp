#include "ui/dialogs/zoom_rate_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cmath>

#include "platform/text.h"
#include "ui/dialogs/dialog_frame.h"
#include "ui/translation.h"

namespace tessarin {

namespace {

// The text buffer the rate was read through held this many characters.
constexpr int kRateTextLimit = 1023;

}  // namespace

double ZoomRateFromText(const std::string& text) {
    const double rate = ParseCReal(text.substr(0, kRateTextLimit));
    // An infinite step would zoom to nothing or everything at once.
    return rate > 0 && std::isfinite(rate) ? rate : 0.9;
}

ZoomRateDialog::ZoomRateDialog(SplitSettings& settings, QWidget* owner)
    : QDialog(owner), settings_(settings) {
    PrepareDialog(*this, Tessarin::tr("表示倍率変化率設定"), owner);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    rate_ = new QLineEdit(QString::fromStdString(FormatFixed6(settings.scaleChangeRate)), this);
    rate_->setObjectName(QStringLiteral("1025"));
    rate_->setAlignment(Qt::AlignRight);
    rate_->setMinimumWidth(rate_->fontMetrics().horizontalAdvance(QStringLiteral("0000.0000000")));
    row->addWidget(rate_, 1);
    row->addWidget(new QLabel(Tessarin::tr("倍"), this));
    layout->addLayout(row);
    AddOkCancel(*this, *layout);
    rate_->setFocus();
    rate_->selectAll();
}

void ZoomRateDialog::accept() {
    settings_.scaleChangeRate = ZoomRateFromText(rate_->text().toStdString());
    QDialog::accept();
}

}  // namespace tessarin
