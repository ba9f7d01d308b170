#pragma once
// What every setting dialog shares: caption and icon from the owner, a size
// that follows its contents (so no text is clipped at any display scale), and
// the "OK" (id 1, default) and "キャンセル" (id 2) buttons.

#include <QString>

class QBoxLayout;
class QDialog;
class QWidget;

namespace tessarin {

// Gives `dialog` its caption and the owner's icon, and makes its size follow
// its layout.
void PrepareDialog(QDialog& dialog, const QString& caption, QWidget* owner);

// Appends a row with "OK" and "キャンセル" at the right of `layout`, wired to
// accept and reject. Enter presses OK, Escape cancels.
void AddOkCancel(QDialog& dialog, QBoxLayout& layout);

// A text of the dialogs, through the program's translation context.
QString DialogText(const char* text);

}  // namespace tessarin
