#pragma once
// The window's texts are written in Japanese and translated by Qt's
// translator in the context "Tessarin" (translations/tessarin_*.ts, embedded
// as :/i18n/tessarin_<language>.qm). platform/locale.h decides the language.

#include <QCoreApplication>
#include <QString>
#include <QTranslator>
#include <memory>
#include <string>

// Tessarin::tr("…") translates a text and marks it for lupdate.
struct Tessarin {
    Q_DECLARE_TR_FUNCTIONS(Tessarin)
};

namespace tessarin {

// "ja" when the texts are shown as written, "en" otherwise.
QString WindowLanguage();

// Installs the program's translation for WindowLanguage(); null when the
// texts stay as written or the translation cannot be installed.
std::unique_ptr<QTranslator> InstallProgramTranslation();

// The name of a settings slot as the menu and the panel show it: a slot
// without a name of its own gets its default name in the window's language.
QString SlotTitle(const std::string& name, int slot);

// An engine message (see split/message_catalogue.h) translated; a message
// whose first line has a translation keeps the rest as it is.
QString EngineText(const std::string& text);

// A result line with its reason translated; the marks and brackets stay.
QString EngineLine(const std::string& line);

}  // namespace tessarin
