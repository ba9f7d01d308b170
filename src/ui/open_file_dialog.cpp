#include "ui/open_file_dialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <iterator>

namespace tessarin {

namespace {

struct FilterText {
    const char* display;
    const char* patterns;
};

// There is no GIF filter: GIF files are reached through the last one. "*.*"
// is the familiar way to say every file; on this system the pattern for it
// is "*", since many file names have no dot.
const FilterText kFilters[] = {
    {"BMP (*.bmp, *.dib)", "*.bmp *.dib"},
    {"JPEG (*.jpg, *.jpeg, *.jpe, *.jfif, *.jfi, *.jif)", "*.jpg *.jpeg *.jpe *.jfif *.jfi *.jif"},
    {"PNG (*.png)", "*.png"},
    {QT_TRANSLATE_NOOP("Tessarin", "全て (*.*)"), "*"},
};

QString DisplayText(const FilterText& filter) {
    return QCoreApplication::translate("Tessarin", filter.display);
}

// The dialog names its filter by the whole filter or, with the patterns
// hidden, by the display text alone.
int FilterIndexOf(const QString& selected) {
    const QStringList filters = OpenFileFilters();
    for (int i = 0; i < static_cast<int>(std::size(kFilters)); ++i)
        if (selected == DisplayText(kFilters[i]) || selected == filters.at(i)) return i;
    return 0;
}

}  // namespace

QStringList OpenFileFilters() {
    QStringList filters;
    for (const FilterText& filter : kFilters)
        filters << QStringLiteral("%1 (%2)").arg(DisplayText(filter),
                                                 QLatin1String(filter.patterns));
    return filters;
}

std::unique_ptr<QFileDialog> MakeOpenFileDialog(QWidget* owner, int filterIndex) {
    auto dialog = std::make_unique<QFileDialog>(
        owner, QCoreApplication::translate("Tessarin", "ファイルを開く"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    // The patterns stay out of sight: the display texts already name them.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = OpenFileFilters();
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.value(filterIndex, filters.front()));
    return dialog;
}

OpenFileChoice AskOpenFiles(QWidget* owner, int filterIndex) {
    const std::unique_ptr<QFileDialog> dialog = MakeOpenFileDialog(owner, filterIndex);
    OpenFileChoice choice;
    const bool chosen = dialog->exec() == QDialog::Accepted;
    choice.filterIndex = FilterIndexOf(dialog->selectedNameFilter());
    if (chosen)
        for (const QString& file : dialog->selectedFiles())
            choice.paths.push_back(QFile::encodeName(file).toStdString());
    return choice;
}

}  // namespace tessarin
