#include "ui/dialogs/about_dialog.h"

#include <QBoxLayout>
#include <QMouseEvent>
#include <QPushButton>

#include "ui/desktop_opener.h"
#include "ui/dialogs/dialog_frame.h"
#include "ui/readme_location.h"
#include "ui/translation.h"

namespace tessarin {

namespace {

const QColor kLinkColor(0, 0, 255);
const QColor kHoverColor(255, 0, 0);

QLabel* CentredLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

HoverLink::HoverLink(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    Reset();
}

void HoverLink::Reset() {
    pressed_ = false;
    Show(false);
}

void HoverLink::Show(bool hovered) {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, hovered ? kHoverColor : kLinkColor);
    setPalette(colours);
    QFont linkFont = font();
    linkFont.setUnderline(hovered);
    setFont(linkFont);
}

void HoverLink::enterEvent(QEnterEvent* event) {
    Show(true);
    QLabel::enterEvent(event);
}

void HoverLink::leaveEvent(QEvent* event) {
    Show(false);
    QLabel::leaveEvent(event);
}

void HoverLink::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void HoverLink::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click) emit clicked();
}

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner) {
    PrepareDialog(*this, Tessarin::tr("バージョン情報"), owner);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CentredLabel(QStringLiteral("Tessarin\nVersion " TESSARIN_VERSION), this));

    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/tessarin-64.png")));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);

    layout->addWidget(CentredLabel(
        Tessarin::tr("画像を格子状に分割して、1枚ずつ画像ファイルとして保存するツール"), this));
    link_ = new HoverLink(QStringLiteral("Readme.txt"), this);
    link_->setObjectName(QStringLiteral("1014"));
    layout->addWidget(link_);
    connect(link_, &HoverLink::clicked, this, [this] {
        link_->Reset();
        OpenOnDesktop(ReadmePath());
    });

    auto* ok = new QPushButton(Tessarin::tr("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AboutDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && link_) link_->Reset();
    QDialog::changeEvent(event);
}

}  // namespace tessarin
