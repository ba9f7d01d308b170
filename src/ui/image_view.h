#pragma once
// The client area: draws the current image at the view's zoom on black and
// passes the mouse gestures it sees on to the window.

#include <QImage>
#include <QWidget>

#include "ui/view_zoom.h"

namespace tessarin {

class ImageView : public QWidget {
    Q_OBJECT

  public:
    explicit ImageView(QWidget* parent = nullptr);

    // `display` shows an image of imageWidth x imageHeight pixels, sampled
    // every `reduction` pixels.
    void SetImage(QImage display, int reduction, int imageWidth, int imageHeight);
    void SetZoom(const ViewZoom& zoom, double rate);
    void SetSmooth(bool smooth);
    // The image's rectangle in view coordinates at the current zoom.
    QRect ImageRect() const;

  signals:
    void rightPressed(QPoint pos, quint64 timestamp);
    void rightReleased(QPoint pos, QPoint globalPos, quint64 timestamp);
    void middleReleased();
    void leftDoubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QImage display_;
    int reduction_ = 1;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    ViewZoom zoom_;
    double rate_ = 1.1;
    bool smooth_ = false;
};

}  // namespace tessarin
