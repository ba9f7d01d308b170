#pragma once
// "バージョン情報": the program's name and version, its icon, what it does,
// and a link to its user's guide. The link turns red and underlined under
// the pointer and opens the guide with the desktop when clicked.

#include <QDialog>
#include <QLabel>

namespace tessarin {

// A one-line text that behaves like a link: blue, red and underlined while
// the pointer is over it, and a click signal.
class HoverLink : public QLabel {
    Q_OBJECT

  public:
    HoverLink(const QString& text, QWidget* parent);
    // Back to blue with the normal font.
    void Reset();

  signals:
    void clicked();

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void Show(bool hovered);
    bool pressed_ = false;
};

class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* owner);

  protected:
    // Coming back to the dialog from another window finds the link at rest.
    void changeEvent(QEvent* event) override;

  private:
    HoverLink* link_ = nullptr;
};

}  // namespace tessarin
