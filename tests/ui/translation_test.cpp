// The window in English: the translation file is complete and consistent
// with its sources and with the console's catalogue, and a window built with
// the translation installed as RunWindow installs it speaks English.

#include "ui/translation.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <cstdlib>
#include <map>
#include <set>

#include "dialog_test_support.h"
#include "split/message_catalogue.h"
#include "ui/dialogs/split_size_dialog.h"
#include "ui/view/panel_text.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

struct TsMessage {
    QString source, translation, type;
};

std::vector<TsMessage> ReadTs(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    std::vector<TsMessage> messages;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::EndDocument) {
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("message")) {
            messages.emplace_back();
        } else if (xml.name() == QLatin1String("source") && !messages.empty()) {
            messages.back().source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation") && !messages.empty()) {
            messages.back().type = xml.attributes().value("type").toString();
            messages.back().translation = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

// The %1 and printf placeholders in order ("%%" is a literal percent sign).
QStringList Placeholders(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("%(%|\\d|[-0-9.]*l*[dsf])"));
    QStringList found;
    for (const auto& match : pattern.globalMatch(text))
        if (match.captured(1) != QLatin1String("%")) found << match.captured(0);
    return found;
}

// The mnemonic letter after a single "&", or 0.
QChar Mnemonic(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] != '&') return text[i + 1].toUpper();
        ++i;
    }
    return QChar();
}

// Sets an environment variable for one test.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        const char* saved = std::getenv(name);
        if (saved) saved_ = saved;
        had_ = saved != nullptr;
        ::setenv(name, value, 1);
    }
    ~ScopedVariable() {
        if (had_)
            ::setenv(name_, saved_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::string saved_;
    bool had_ = false;
};

// Installs the English translation as RunWindow does, for one test.
class EnglishWindow : public testing::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        translator_ = InstallProgramTranslation();
        ASSERT_NE(translator_, nullptr);
    }
    void TearDown() override {
        window_.reset();
        translator_.reset();
    }
    ScopedVariable locale_{"LC_ALL", "en_US.UTF-8"};
    ScopedVariable languages_{"LANGUAGE", ""};
    std::unique_ptr<QTranslator> translator_;
};

// Every message is translated, keeps its placeholders, its mnemonic and its
// accelerator, and the engine's messages say what the console says.
TEST(Translation, EveryMessageIsFinishedAndMatchesItsSource) {
    const auto messages =
        ReadTs(QStringLiteral(TESSARIN_TEST_DATA "/../../translations/tessarin_en.ts"));
    ASSERT_GT(messages.size(), 150u);
    std::map<QString, QString> bySource;
    for (const TsMessage& m : messages) {
        SCOPED_TRACE(m.source.toStdString());
        EXPECT_EQ(m.type, QString()) << "unfinished, vanished or obsolete";
        EXPECT_FALSE(m.translation.isEmpty());
        EXPECT_EQ(Placeholders(m.translation), Placeholders(m.source));
        EXPECT_EQ(Mnemonic(m.translation).isNull(), Mnemonic(m.source).isNull());
        EXPECT_EQ(m.translation.section('\t', 1), m.source.section('\t', 1));
        bySource[m.source] = m.translation;
    }
    for (const CatalogueEntry& entry : EngineCatalogue()) {
        SCOPED_TRACE(entry.japanese);
        const auto it = bySource.find(QString::fromUtf8(entry.japanese));
        ASSERT_NE(it, bySource.end()) << "missing from the translation file";
        EXPECT_EQ(it->second.toStdString(), entry.english);
    }
}

TEST_F(EnglishWindow, MenusDialogsAndPanelSpeakEnglish) {
    MainWindow& w = OpenWindow();
    QStringList titles;
    for (QAction* menu : w.menuBar()->actions()) titles << menu->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Split", "Se&ttings", "&View", "&Options", "&Help"}));
    EXPECT_EQ(w.Action(4002)->text(), "&Open...\tF2");
    EXPECT_EQ(w.Action(4007)->text(), "&Tile Size and Offset...\tF4");

    // No menu gives one mnemonic to two of its entries.
    std::vector<QMenu*> menus;
    for (QAction* a : w.menuBar()->actions()) menus.push_back(a->menu());
    for (size_t i = 0; i < menus.size(); ++i) {
        std::set<QChar> letters;
        for (QAction* a : menus[i]->actions()) {
            if (a->isSeparator()) continue;
            if (a->menu()) menus.push_back(a->menu());
            EXPECT_TRUE(letters.insert(Mnemonic(a->text())).second)
                << a->text().toStdString() << " in " << menus[i]->title().toStdString();
        }
    }

    // Slots without a name of their own; a name the user gave stays.
    EXPECT_EQ(w.Action(4044)->text(), "Settings 3(&3)");
    for (int slot = 0; slot <= 9; ++slot)
        EXPECT_EQ(SlotTitle(DefaultSlotName(slot), slot), QStringLiteral("Settings %1").arg(slot));
    EXPECT_EQ(SlotTitle("設定０", 1), "設定０");
    EXPECT_EQ(SlotTitle("Mine", 1), "Mine");

    SplitSizeDialog dialog(settings_, 4000, 3000, nullptr, &w);
    EXPECT_EQ(dialog.windowTitle(), "Tile Size and Offset");
    QStringList buttons;
    for (QPushButton* b : dialog.findChildren<QPushButton*>()) buttons << b->text();
    EXPECT_TRUE(buttons.contains("OK") && buttons.contains("Cancel"))
        << buttons.join(',').toStdString();

    // The panel's titles are 16 cells, as the Japanese ones, so the values
    // and the continuation lines line up.
    PanelChoices all;
    all.imageInfo = all.settingsFile = all.saveFolder = all.aspect = all.cutSize = all.offset =
        all.nameRule = all.scale = all.jpegQuality = all.threads = all.cutCount = all.breakdown =
            true;
    PanelFacts facts;
    facts.imageLoaded = true;
    facts.imageInfoLine = "[  Image info  ]4000x3000(24bpp)";
    facts.colorKind = ColorKind::Indexed;
    facts.scale = 1;
    facts.grid = ComputeGridCounts(4000, 3000, settings_);
    settings_.formatOptions.Set("OPTION", "CORRECT_CUT", 1);
    const std::vector<PanelLine> lines = BuildPanelLines(settings_, all, facts);
    ASSERT_GE(lines.size(), 12u);
    for (const PanelLine& line : lines) {
        SCOPED_TRACE(line.text);
        const QString text = QString::fromStdString(line.text);
        if (text.startsWith('['))
            EXPECT_EQ(text.indexOf(']'), 15);
        else
            EXPECT_TRUE(text.startsWith(QString(8, QChar(0x3000))) ||
                        text.startsWith(QString(16, ' ')));
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[\\x{3040}-\\x{30ff}]"))))
            << "kana left";
    }
}

// The rename dialog offers the default name as the menu shows it; kept
// unchanged, it is stored as the Japanese window stores it, never in English.
TEST_F(EnglishWindow, RenameOffersTheDefaultNameInTheWindowsLanguage) {
    MainWindow& w = OpenWindow();
    testing::Answering<QDialog>(
        [&](QDialog& d) {
            EXPECT_EQ(testing::ControlOf<QLineEdit>(d, 1032)->text(), "Settings 0");
            testing::PressOk(d);
        },
        [&] { Trigger(4051); });
    EXPECT_EQ(w.Action(4041)->text(), "Settings 0(&0)");
    EXPECT_EQ(SlotValue("INI", "NAME"), "設定０");
}

}  // namespace
}  // namespace tessarin
