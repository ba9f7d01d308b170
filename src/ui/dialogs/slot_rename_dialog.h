#pragma once
// "名前を変更": the name of the current split-settings slot, as the menu and
// the information panel show it.

#include <QDialog>
#include <string>

class QLineEdit;

namespace tessarin {

class SlotRenameDialog : public QDialog {
    Q_OBJECT

  public:
    // `name` is the slot's current name as the menu shows it (the default
    // name in the window's language when it has none).
    SlotRenameDialog(const std::string& name, QWidget* owner);

    // The name typed, at most 255 characters; empty means the default name.
    std::string Name() const;

  private:
    QLineEdit* name_ = nullptr;
};

}  // namespace tessarin
