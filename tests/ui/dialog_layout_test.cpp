// Every dialog at 100 % and 200 % display scale, in Japanese and in English:
// no text cut off, and small enough for a 1920 x 1080 screen at 200 %. With TESSARIN_DIALOG_SHOTS
// set to a folder, each dialog is also saved there as a picture.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/format_option_dialog.h"
#include "ui/dialogs/naming_rule_dialog.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/dialogs/result_dialog.h"
#include "ui/dialogs/save_folder_dialog.h"
#include "ui/dialogs/slot_rename_dialog.h"
#include "ui/dialogs/split_size_dialog.h"
#include "ui/dialogs/step_edit.h"
#include "ui/dialogs/thread_count_dialog.h"
#include "ui/dialogs/zoom_rate_dialog.h"
#include "ui/translation.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

bool ShowsText(const QWidget* w) {
    return qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QGroupBox*>(w) ||
           qobject_cast<const StepEdit*>(w);
}

// The test below in a child process with `environment` added.
void RunFitTestWith(const std::vector<std::pair<QString, QString>>& environment) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : environment) env.insert(name, value);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=DialogLayout.EveryTextFitsAndEveryDialogFitsTheScreen"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

TEST(DialogLayout, EveryTextFitsAndEveryDialogFitsTheScreen) {
    // In the language of the locale, as RunWindow installs it.
    const std::unique_ptr<QTranslator> texts = InstallProgramTranslation();
    SplitSettings settings;
    settings.savePath = "/home/alice/画像/分割";
    testing::RecordingPresenter messages;
    std::vector<std::pair<const char*, std::unique_ptr<QDialog>>> dialogs;
    dialogs.emplace_back("split-size",
                         std::make_unique<SplitSizeDialog>(settings, 4000, 3000, nullptr, nullptr));
    dialogs.emplace_back("split-size-no-image",
                         std::make_unique<SplitSizeDialog>(settings, 0, 0, nullptr, nullptr));
    dialogs.emplace_back("save-folder", std::make_unique<SaveFolderDialog>(settings, nullptr));
    dialogs.emplace_back("naming-rule",
                         std::make_unique<NamingRuleDialog>(settings, messages, nullptr));
    for (const FormatOption& option : DeclaredFormatOptions())
        if (option.dialog.title)
            dialogs.emplace_back(option.key,
                                 std::make_unique<FormatOptionDialog>(settings, option, nullptr));
    dialogs.emplace_back("thread-count", std::make_unique<ThreadCountDialog>(settings, nullptr));
    dialogs.emplace_back("zoom-rate", std::make_unique<ZoomRateDialog>(settings, nullptr));
    dialogs.emplace_back("slot-rename", std::make_unique<SlotRenameDialog>("設定０", nullptr));
    dialogs.emplace_back("about", std::make_unique<AboutDialog>(nullptr));
    dialogs.emplace_back("result",
                         std::make_unique<ResultDialog>(Tessarin::tr("分割処理正常終了！"),
                                                        settings.savePath, nullptr));
    dialogs.emplace_back(
        "result-list",
        std::make_unique<ResultListDialog>(EngineLine("×：/home/alice/a.bmp【ファイルが不正です】"),
                                           true, settings.savePath, nullptr));
    dialogs.emplace_back("progress", std::make_unique<ProgressDialog>());

    const qreal scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                            ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                            : 1.0;
    const QString shots = qEnvironmentVariable("TESSARIN_DIALOG_SHOTS");
    for (auto& [name, dialog] : dialogs) {
        SCOPED_TRACE(name);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        EXPECT_EQ(dialog->devicePixelRatio(), scale);
        for (const QWidget* w : dialog->findChildren<QWidget*>()) {
            if (!w->isVisible() || !ShowsText(w)) continue;
            const QSize need =
                qobject_cast<const QGroupBox*>(w) ? w->minimumSizeHint() : w->sizeHint();
            EXPECT_GE(w->width(), need.width()) << w->objectName().toStdString();
            EXPECT_GE(w->height(), need.height()) << w->objectName().toStdString();
        }
        EXPECT_LE(dialog->width(), 940);
        EXPECT_LE(dialog->height(), 500);
        if (!shots.isEmpty())
            dialog->grab().save(QStringLiteral("%1/%2@%3x.png").arg(shots, name).arg(scale));
        dialog->reject();
    }
}

TEST(DialogLayout, EveryTextFitsAtTwiceTheScale) {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) GTEST_SKIP() << "runs at its own scale";
    RunFitTestWith({{"QT_SCALE_FACTOR", "2"}});
}

// The English texts are longer than the Japanese ones: they fit as well.
TEST(DialogLayout, EveryTextFitsInEnglishAtBothScales) {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) GTEST_SKIP() << "runs at its own scale";
    for (const char* scale : {"1", "2"}) {
        SCOPED_TRACE(scale);
        RunFitTestWith({{"LC_ALL", "en_US.UTF-8"}, {"QT_SCALE_FACTOR", scale}});
    }
}

}  // namespace
}  // namespace tessarin
