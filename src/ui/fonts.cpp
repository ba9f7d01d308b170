#include "ui/fonts.h"

#include <QApplication>
#include <QFontDatabase>

namespace tessarin {

void UseJapaneseFont() {
    const QString family = QStringLiteral("Noto Sans CJK JP");
    if (!QFontDatabase::families().contains(family)) return;
    QFont font = QApplication::font();
    font.setFamilies({family});
    QApplication::setFont(font);
}

QString MonospaceJapaneseFamily() {
    const QString family = QStringLiteral("Noto Sans Mono CJK JP");
    if (QFontDatabase::families().contains(family)) return family;
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

}  // namespace tessarin
