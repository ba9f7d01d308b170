#include "ui/translation.h"

#include "platform/locale.h"
#include "split/message_catalogue.h"

namespace tessarin {

namespace {

std::string QtLookup(std::string_view text) {
    const std::string source(text);
    std::string translated = QCoreApplication::translate("Tessarin", source.c_str()).toStdString();
    return translated == source ? std::string() : translated;
}

}  // namespace

QString WindowLanguage() {
    return UsesJapaneseTexts() ? QStringLiteral("ja") : QStringLiteral("en");
}

std::unique_ptr<QTranslator> InstallProgramTranslation() {
    if (UsesJapaneseTexts()) return nullptr;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral(":/i18n/tessarin_") + WindowLanguage()) ||
        !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    return translator;
}

QString EngineText(const std::string& text) {
    const std::string translated = TranslateMessage(text, QtLookup);
    return QString::fromStdString(translated.empty() ? text : translated);
}

QString EngineLine(const std::string& line) {
    return QString::fromStdString(TranslateResultLine(line, QtLookup));
}

}  // namespace tessarin
