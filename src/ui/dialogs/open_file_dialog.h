#pragma once
// The open dialog of the window: several existing files at once, under one
// of four filters. The window keeps the filter the dialog ended on for the
// rest of the run, so the next dialog opens on it.

#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QFileDialog;
class QWidget;

namespace tessarin {

struct OpenFileChoice {
    std::vector<std::string> paths;  // in the order the dialog gives them; empty after Cancel
    int filterIndex = 0;             // the filter the dialog ended on
};

// Asks for files, opening on filter `filterIndex`. Tests put their own in
// place of AskOpenFiles.
using OpenFileAsker = std::function<OpenFileChoice(QWidget* owner, int filterIndex)>;

// The filters in the dialog's order. Each is its display text followed by
// its patterns in parentheses; the dialog shows only the display text.
QStringList OpenFileFilters();

// The dialog, ready to be shown, on filter `filterIndex`.
std::unique_ptr<QFileDialog> MakeOpenFileDialog(QWidget* owner, int filterIndex);

// Shows MakeOpenFileDialog modally and reads what the user chose.
OpenFileChoice AskOpenFiles(QWidget* owner, int filterIndex);

}  // namespace tessarin
