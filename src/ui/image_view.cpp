#include "ui/image_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tessarin {

namespace {

// Origin of the displayed image on one axis: centred when it fits, otherwise
// placed by the view centre and kept covering the window.
int Origin(int client, int displayed, double centre) {
    if (displayed <= client) return (client - displayed) / 2;
    int origin = static_cast<int>(client * 0.5 - displayed * centre);
    return std::clamp(origin, client - displayed, 0);
}

int Displayed(int size, double scale) {
    const double d = size * scale;
    return d >= 1e9 ? 1000000000 : static_cast<int>(d);
}

}  // namespace

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Every right-button event comes here; the window shows its own popup.
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void ImageView::SetImage(QImage display, int reduction, int imageWidth, int imageHeight) {
    display_ = std::move(display);
    reduction_ = std::max(1, reduction);
    imageWidth_ = imageWidth;
    imageHeight_ = imageHeight;
    update();
}

void ImageView::SetZoom(const ViewZoom& zoom, double rate) {
    zoom_ = zoom;
    rate_ = rate;
    update();
}

void ImageView::SetSmooth(bool smooth) {
    if (smooth_ == smooth) return;
    smooth_ = smooth;
    update();
}

QRect ImageView::ImageRect() const {
    const double scale = DisplayScale(zoom_.steps, rate_);
    const int dw = Displayed(imageWidth_, scale);
    const int dh = Displayed(imageHeight_, scale);
    return {Origin(width(), dw, zoom_.centreX), Origin(height(), dh, zoom_.centreY), dw, dh};
}

void ImageView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
    if (display_.isNull() || imageWidth_ <= 0 || imageHeight_ <= 0) return;
    const QRect image = ImageRect();
    const QRect target = image.intersected(event->rect());
    if (target.isEmpty()) return;
    // Only the visible part of the image is scaled.
    const double perPixel = double(imageWidth_) / image.width() / reduction_;
    const double perLine = double(imageHeight_) / image.height() / reduction_;
    const QRectF source((target.left() - image.left()) * perPixel,
                        (target.top() - image.top()) * perLine, target.width() * perPixel,
                        target.height() * perLine);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth_);
    painter.drawImage(QRectF(target), display_, source);
}

void ImageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton)
        emit rightPressed(event->position().toPoint(), event->timestamp());
    QWidget::mousePressEvent(event);
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton)
        emit rightReleased(event->position().toPoint(), event->globalPosition().toPoint(),
                           event->timestamp());
    else if (event->button() == Qt::MiddleButton)
        emit middleReleased();
    QWidget::mouseReleaseEvent(event);
}

void ImageView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit leftDoubleClicked();
    QWidget::mouseDoubleClickEvent(event);
}

}  // namespace tessarin
