#include "ui/translation.h"

#include <iterator>

#include "platform/locale.h"
#include "settings/split_settings.h"
#include "split/message_catalogue.h"

namespace tessarin {

namespace {

std::string QtLookup(std::string_view text) {
    const std::string source(text);
    std::string translated = QCoreApplication::translate("Tessarin", source.c_str()).toStdString();
    return translated == source ? std::string() : translated;
}

// DefaultSlotName's names, for lupdate.
const char* const kDefaultSlotNames[] = {
    QT_TRANSLATE_NOOP("Tessarin", "設定０"), QT_TRANSLATE_NOOP("Tessarin", "設定１"),
    QT_TRANSLATE_NOOP("Tessarin", "設定２"), QT_TRANSLATE_NOOP("Tessarin", "設定３"),
    QT_TRANSLATE_NOOP("Tessarin", "設定４"), QT_TRANSLATE_NOOP("Tessarin", "設定５"),
    QT_TRANSLATE_NOOP("Tessarin", "設定６"), QT_TRANSLATE_NOOP("Tessarin", "設定７"),
    QT_TRANSLATE_NOOP("Tessarin", "設定８"), QT_TRANSLATE_NOOP("Tessarin", "設定９"),
};

}  // namespace

QString SlotTitle(const std::string& name, int slot) {
    if (slot >= 0 && slot < static_cast<int>(std::size(kDefaultSlotNames)) &&
        name == DefaultSlotName(slot))
        return Tessarin::tr(kDefaultSlotNames[slot]);
    return QString::fromStdString(name);
}

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
