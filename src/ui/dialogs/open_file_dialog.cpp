#include "ui/dialogs/open_file_dialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>

#include "imaging/format_registry.h"

namespace tessarin {

namespace {

struct FilterText {
    QString display;
    QString patterns;
};

// One filter for each format that asks for one, in the registry's order,
// then every file. "*.*" is the familiar way to say every file; on this
// system the pattern for it is "*", since many file names have no dot.
QList<FilterText> Filters() {
    QList<FilterText> filters;
    for (const ImageFormat* format : ImageFormats()) {
        if (!format->dialogFilter) continue;
        QStringList shown, patterns;
        for (const char* const* e = format->extensions; *e; ++e) {
            shown << QStringLiteral("*%1").arg(QLatin1String(*e));
            patterns << shown.back();
        }
        filters.append({QStringLiteral("%1 (%2)").arg(QLatin1String(format->name),
                                                      shown.join(QStringLiteral(", "))),
                        patterns.join(QLatin1Char(' '))});
    }
    filters.append({QCoreApplication::translate("Tessarin", "全て (*.*)"), QStringLiteral("*")});
    return filters;
}

// The dialog names its filter by the whole filter or, with the patterns
// hidden, by the display text alone.
int FilterIndexOf(const QString& selected) {
    const QList<FilterText> filters = Filters();
    const QStringList whole = OpenFileFilters();
    for (int i = 0; i < filters.size(); ++i)
        if (selected == filters.at(i).display || selected == whole.at(i)) return i;
    return 0;
}

}  // namespace

QStringList OpenFileFilters() {
    QStringList filters;
    for (const FilterText& filter : Filters())
        filters << QStringLiteral("%1 (%2)").arg(filter.display, filter.patterns);
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
