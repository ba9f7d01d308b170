// The dialogs of a split: progress lines, the result dialog and the result
// list with the button that opens the save folder.

#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "ui/dialogs/progress_dialog.h"
#include "ui/dialogs/result_dialog.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

TEST(ProgressDialog, TitleLineTilesAndBar) {
    ProgressDialog dialog;
    auto* bar = dialog.findChild<QProgressBar*>("1024");
    ASSERT_NE(bar, nullptr);
    struct Step {
        int index, count;
        int64_t done, total;
        const char* title;
        const char* line;
    };
    const Step steps[] = {
        {0, 3, 0, 0, " 0% - 分割中", " 0 /  3 ( 0%)"},
        {0, 3, 1200, 2990, " 0% - 分割中", " 0 /  3 ( 0%) — 1200 / 2990 タイル"},
        {1, 3, 0, 0, "33% - 分割中", " 1 /  3 (33%)"},
        {2, 3, 5, 5, "66% - 分割中", " 2 /  3 (66%) — 5 / 5 タイル"},
        {150, 500, 0, 0, "30% - 分割中", "150 / 500 (30%)"},
    };
    for (const Step& s : steps) {
        dialog.ShowFile(s.index, s.count);
        dialog.ShowTiles(s.done, s.total);
        EXPECT_EQ(dialog.windowTitle().toStdString(), s.title);
        EXPECT_EQ(dialog.Line().toStdString(), s.line);
        EXPECT_EQ(bar->maximum(), s.count);
    }
    for (int i = 0; i < 600; ++i) dialog.StepFile();
    EXPECT_EQ(bar->value(), 500);
    EXPECT_EQ(dialog.parentWidget(), nullptr);
}

TEST(ResultDialogs, TextsButtonsAndTheSaveFolder) {
    testing::UrlRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "open");
    QWidget owner;
    {
        ResultDialog dialog(QStringLiteral("分割処理正常終了！"), "/tmp/tiles", &owner);
        EXPECT_EQ(dialog.windowTitle().toStdString(), "確認");
        EXPECT_EQ(dialog.findChild<QLabel*>("1014")->text().toStdString(), "分割処理正常終了！");
        EXPECT_EQ(dialog.findChild<QPushButton*>("1")->text().toStdString(), "OK");
        auto* open = dialog.findChild<QPushButton*>("1002");
        EXPECT_EQ(open->text().toStdString(), "保存フォルダを開く");
        QTimer::singleShot(0, open, &QPushButton::click);
        EXPECT_EQ(dialog.exec(), 0);
        QTimer::singleShot(0, dialog.findChild<QPushButton*>("1"), &QPushButton::click);
        EXPECT_EQ(dialog.exec(), 1);
    }
    QString log;
    for (int i = 0; i < 500; ++i)
        log += QStringLiteral("○：/home/user/%1/image%2.png\n")
                   .arg(QString(200, QLatin1Char('d')))
                   .arg(i);
    for (bool stopped : {false, true}) {
        ResultListDialog dialog(log, stopped, "/tmp/list", nullptr);
        EXPECT_EQ(dialog.windowTitle().toStdString(), stopped ? "分割処理中止" : "分割処理終了！");
        auto* edit = dialog.findChild<QPlainTextEdit*>("1017");
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->toPlainText(), log);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(Qt::white));
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        EXPECT_GT(edit->verticalScrollBar()->maximum(), 0);
        EXPECT_GT(edit->horizontalScrollBar()->maximum(), 0);
        QTest::keyClicks(edit, "x");
        EXPECT_EQ(edit->toPlainText().size(), log.size());
        dialog.findChild<QPushButton*>("1002")->click();
        EXPECT_EQ(dialog.result(), 0);
    }
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(recorder.urls.size(), 3u);
    EXPECT_EQ(recorder.urls[0], QUrl::fromLocalFile("/tmp/tiles"));
    EXPECT_EQ(recorder.urls[2], QUrl::fromLocalFile("/tmp/list"));
}

}  // namespace
}  // namespace tessarin
