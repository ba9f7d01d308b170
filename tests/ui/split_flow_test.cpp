// Splitting from the window: F3 on the image on view, batches from an open
// request with their progress, stop, questions and result reports, closing
// the window while a split runs, and the icon-drop start.

#include <unistd.h>

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <future>

#include "imaging/jpeg/jpeg_test_util.h"
#include "split/image_loader.h"
#include "split/path_list.h"
#include "split/split_job.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/document/split_controller.h"
#include "ui/document/split_runner.h"
#include "ui/view/image_pyramid.h"
#include "ui/view/viewer_widget.h"
#include "ui/window/command_ids.h"
#include "ui/window/icon_drop_start.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using testing::WindowTest;

const std::string kDesktopQuestion =
    "?保存フォルダの指定が不正です。デスクトップに保存しますがいいですか？";
const std::string kWidthQuestion =
    "?JPEGファイルを無劣化で分割する場合、分割サイズの横幅が「8の倍数」や「16の倍数」でないと"
    "正確なサイズに分割できない可能性が高いですがいいですか？";

class SplitFlowTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        out_ = dir_ / "out";
        fs::create_directory(out_);
        settings_.savePath = out_;
        settings_.widthValue[0] = 20;
        settings_.heightValue[0] = 16;
        settings_.threadCount = 2;
    }

    // Starts an open request and waits until its split (or load) has ended.
    void Open(std::vector<std::string> paths) {
        QSignalSpy split(window_.get(), &MainWindow::splitFinished);
        QSignalSpy loaded(window_.get(), &MainWindow::loadFinished);
        window_->StartOpenRequest(std::move(paths));
        QTRY_VERIFY_WITH_TIMEOUT(!window_->IsSplitRunning(), 30000);
        EXPECT_EQ(split.count() + loaded.count(), 1);
    }

    std::string Jpeg(const std::string& name) {
        const std::string path = dir_ / name;
        fs::copy_file(TESSARIN_TEST_DATA "/../../fuzz/seeds/jpeg/rgb.jpg", path);
        return path;
    }
    std::string Png(const std::string& name) {
        const std::string path = dir_ / name;
        fs::copy_file(TESSARIN_TEST_DATA "/pngsuite/basn2c08.png", path);
        return path;
    }

    size_t TilesOf(const std::string& base) {
        size_t n = 0;
        for (const std::string& name : testing::FileNames(out_)) n += name.rfind(base, 0) == 0;
        return n;
    }

    std::string Title() { return window_->windowTitle().toStdString(); }

    std::string out_;
};

TEST_F(SplitFlowTest, F3SplitsTheImageOnViewAndReportsIt) {
    MainWindow& w = OpenWindow();
    const std::string image = WriteBmp("photo.bmp", 100, 40);
    ASSERT_TRUE(Load(image));
    QSignalSpy finished(&w, &MainWindow::splitFinished);
    Key(Qt::Key_F3);
    EXPECT_EQ(w.Action(cmd::kSplit)->text().toStdString(), "分割中止(&E)\tF3");
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(shown_->results, std::vector<std::string>{"分割処理正常終了！"});
    EXPECT_EQ(TilesOf("photo"), 5u * 3u);
    EXPECT_EQ(w.LastOutputFolder(), out_);
    EXPECT_EQ(w.Action(cmd::kSplit)->text().toStdString(), "分割実行(&E)\tF3");
    EXPECT_EQ(Title(), "Tessarin - " + image);

    // Refused checks leave the menu idle without a split; an unwritable
    // target gives the failure text.
    settings_.widthValue[0] = settings_.heightValue[0] = 0;
    Key(Qt::Key_F3);
    EXPECT_FALSE(w.IsSplitRunning());
    ASSERT_EQ(shown_->asked.size(), 1u);
    EXPECT_EQ(shown_->asked[0].substr(0, 4), "!分");
    settings_.widthValue[0] = 50;
    settings_.savePath = "/proc";
    Key(Qt::Key_F3);
    ASSERT_TRUE(finished.wait(20000));
    ASSERT_EQ(shown_->results.size(), 2u);
    EXPECT_EQ(shown_->results[1].rfind("【分割処理失敗】\n", 0), 0u) << shown_->results[1];
    EXPECT_GT(shown_->results[1].size(), std::string("【分割処理失敗】\n").size());
}

TEST_F(SplitFlowTest, ThreeFilesWithTheMiddleUnsupported) {
    OpenWindow();
    const std::string a = WriteBmp("a.bmp", 40, 16), c = WriteBmp("c.bmp", 20, 32);
    const std::string notes = dir_ / "notes.txt";
    testing::WriteBytes(notes, {'h', 'i'});
    QSignalSpy views(&window_->Splits(), &SplitController::imageLoaded);
    Open({a, notes, c});
    EXPECT_EQ(views.count(), 1);  // one view is built, for the file that stays on view
    ASSERT_EQ(shown_->lists.size(), 1u);
    EXPECT_EQ(shown_->lists[0].log,
              "○：" + a + "\n×：" + notes + "【非対応のファイル形式です】\n○：" + c + "\n");
    EXPECT_FALSE(shown_->lists[0].stopped);
    EXPECT_TRUE(shown_->lists[0].owned);
    EXPECT_EQ(TilesOf("a"), 2u);
    EXPECT_EQ(TilesOf("c"), 2u);
    EXPECT_EQ(Title(), "Tessarin - " + c);  // the last file split stays on view
    EXPECT_EQ(window_->Progress(), nullptr);
}

TEST_F(SplitFlowTest, StopDuringTheSecondOfFiveEndsThatFileBeforeItsTiles) {
    MainWindow& w = OpenWindow();
    std::vector<std::string> files;
    for (int i = 0; i < 5; ++i) files.push_back(WriteBmp("f" + std::to_string(i) + ".bmp", 40, 32));
    // The batch is held at the start of the second file until the stop is in.
    std::promise<void> stopped;
    std::shared_future<void> gate = stopped.get_future().share();
    w.Runner().SetFileStartedHook([gate](size_t index) {
        if (index == 1) gate.wait();
    });
    w.StartOpenRequest(files);
    ASSERT_NE(w.Progress(), nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(w.Progress()->Line(), QStringLiteral(" 1 /  5 (20%)"), 20000);
    EXPECT_EQ(w.Progress()->windowTitle().toStdString(), "20% - 分割中");
    auto* stop = w.Progress()->findChild<QPushButton*>("1026");
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->text().toStdString(), "中止");
    stop->click();
    stop->click();  // a second press changes nothing
    EXPECT_TRUE(w.IsStopRequested());
    stopped.set_value();
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsSplitRunning(), 20000);
    w.Runner().SetFileStartedHook({});
    ASSERT_EQ(shown_->lists.size(), 1u);
    EXPECT_EQ(shown_->lists[0].log, "○：" + files[0] + "\n△：" + files[1] + "【分割処理中止】\n");
    EXPECT_TRUE(shown_->lists[0].stopped);
    EXPECT_EQ(TilesOf("f1"), 0u);
    EXPECT_EQ(TilesOf("f2"), 0u);
}

// An image whose raster the memory budget cannot hold is shown reduced, with
// its own size; the selection works in its pixels, F3 writes the tiles the
// command mode writes, and views closer than the reduction magnify it.
TEST_F(SplitFlowTest, ImagesTooLargeToHoldAreShownReducedAndSplitFromTheirFile) {
    MainWindow& w = OpenWindow();
    const std::string image = dir_ / "big.jpg";
    jpeg_test::WriteSource(image, {.width = 300, .height = 200, .progressive = true});
    settings_.widthValue[0] = 64;
    settings_.heightValue[0] = 48;
    settings_.formatOptions.Set("OPTION", "CORRECT_CUT", 1);  // exact tiles, cut from the rows
    jpeg_test::ScopedSplitBudget budget(300 * 200 * 5);
    ASSERT_TRUE(Load(image));
    EXPECT_EQ(w.Image().viewReduction, 2);
    EXPECT_FALSE(w.Image().raster);
    EXPECT_EQ(w.ImageInfoLine(), "【 画 像 情 報 】300x200(24bpp)");
    EXPECT_EQ(Title(), "Tessarin - " + image);

    // At 1:1 each pixel of the picture covers 2 x 2 of the view.
    w.View()->ShowOneToOne();
    const QImage shown = w.View()->grab().toImage();
    const QPoint at = w.View()->ImageRect().topLeft() + QPoint(105, 75);
    const uint8_t* pixel = w.View()->Picture()->Levels().front()->Row(75 / 2) + 3 * (105 / 2);
    EXPECT_EQ(QColor(shown.pixel(at)), QColor(pixel[2], pixel[1], pixel[0]));

    // Select the tile at (100, 60) and split it.
    Key(Qt::Key_F10);
    ASSERT_TRUE(w.Selection().IsActive());
    QTest::mouseClick(w.View(), Qt::LeftButton, {},
                      w.View()->ImageRect().topLeft() + QPoint(100, 60));
    QTRY_COMPARE_WITH_TIMEOUT(w.Selection().CountSelectedTiles(), 1, 5000);
    QSignalSpy finished(&w, &MainWindow::splitFinished);
    Key(Qt::Key_F3);
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(shown_->results, std::vector<std::string>{"分割処理正常終了！"});
    const std::vector<std::string> written = testing::FileNames(out_);
    ASSERT_EQ(written.size(), 1u);

    SplitJob job;
    job.settings = settings_;
    job.settings.savePath = dir_ / "cmd";
    fs::create_directory(job.settings.savePath);
    std::string error;
    std::vector<std::string> notices;
    ASSERT_TRUE(LoadImageForTiles(image, job.settings, job.image, error, notices));
    ASSERT_TRUE(RunSplitJob(job).ok);
    EXPECT_EQ(testing::ReadBytes(out_ + "/" + written[0]),
              testing::ReadBytes(job.settings.savePath + "/" + written[0]));
}

TEST_F(SplitFlowTest, OneFileIsOpenedOrSplitByAutoCut) {
    MainWindow& w = OpenWindow();
    const std::string image = WriteBmp("one.bmp", 40, 32);
    Open({image});
    EXPECT_EQ(Title(), "Tessarin - " + image);
    EXPECT_EQ(TilesOf("one"), 0u);
    EXPECT_TRUE(shown_->results.empty());

    Trigger(cmd::kAutoCut);
    w.StartOpenRequest({image});
    EXPECT_NE(w.Progress(), nullptr);  // a batch of one, with its progress
    QTRY_VERIFY_WITH_TIMEOUT(!w.IsSplitRunning(), 20000);
    EXPECT_EQ(shown_->results, std::vector<std::string>{"分割処理正常終了！"});
    EXPECT_TRUE(shown_->lists.empty());
    EXPECT_EQ(TilesOf("one"), 4u);

    // One file that fails, and a folder of one file.
    const std::string broken = dir_ / "broken.png";
    testing::WriteBytes(broken, {0x89, 'P', 'N', 'G'});
    Open({broken});
    ASSERT_EQ(shown_->results.size(), 2u);
    EXPECT_EQ(shown_->results[1], "分割処理失敗");
    // A dropped folder of one file arrives listed.
    fs::create_directory(dir_ / "folder");
    WriteBmp("folder/inner.bmp", 20, 16);
    Open(ExpandFolders({dir_ / "folder"}));
    EXPECT_EQ(shown_->results.size(), 3u);
    EXPECT_EQ(TilesOf("inner"), 1u);
}

TEST_F(SplitFlowTest, DeclinedJpegQuestionsSkipEveryJpeg) {
    OpenWindow();
    settings_.formatOptions.Set("OPTION", "CORRECT_CUT",
                                0);  // lossless: 20 is off the 16-pixel grid
    const std::string j1 = Jpeg("j1.jpg"), p = Png("p.png"), j2 = Jpeg("j2.JPG");
    shown_->answers = {false};
    Open({j1, p, j2});
    EXPECT_EQ(shown_->asked, std::vector<std::string>{kWidthQuestion});  // once per batch
    ASSERT_EQ(shown_->lists.size(), 1u);
    EXPECT_EQ(shown_->lists[0].log, "△：" + j1 + "【キャンセルされました】\n○：" + p + "\n△：" +
                                        j2 + "【キャンセルされました】\n");
    EXPECT_EQ(TilesOf("j"), 0u);
    EXPECT_EQ(TilesOf("p"), 4u);
}

TEST_F(SplitFlowTest, InvalidSaveFolderAnsweredNoOpensOnlyTheFirstFile) {
    OpenWindow();
    settings_.savePath = dir_ / "missing";
    const std::string a = WriteBmp("a.bmp", 40, 16), b = WriteBmp("b.bmp", 40, 16);
    shown_->answers = {false};
    Open({a, b});
    EXPECT_EQ(shown_->asked, std::vector<std::string>{kDesktopQuestion});
    EXPECT_EQ(Title(), "Tessarin - " + a);
    EXPECT_TRUE(shown_->lists.empty());
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(SplitFlowTest, BadFilesAndAnUnwritableFolderEachGetTheirLine) {
    MainWindow& w = OpenWindow();
    // The tiles go through a link that is turned to a folder nobody can
    // write into (not even root) as the fourth file starts.
    const std::string link = dir_ / "target";
    fs::create_directory_symlink(out_, link);
    settings_.savePath = link;
    const std::string good = WriteBmp("good.bmp", 40, 16);
    const std::string empty = dir_ / "empty.png", notes = dir_ / "notes.doc";
    testing::WriteBytes(empty, {});
    testing::WriteBytes(notes, {1, 2, 3});
    std::vector<uint8_t> bytes = testing::ReadBytes(WriteBmp("whole.bmp", 64, 64));
    bytes.resize(bytes.size() / 2);
    const std::string truncated = dir_ / "truncated.bmp";
    testing::WriteBytes(truncated, bytes);
    const std::string deleted = WriteBmp("deleted.bmp", 40, 16);
    const std::string late = WriteBmp("late.bmp", 40, 16);
    std::vector<std::string> files = {good, empty, notes, truncated, deleted, late};
    w.Runner().SetFileStartedHook([&](size_t index) {
        if (index == 4) fs::remove(deleted);
        if (index == 5) {
            fs::remove(link);
            fs::create_directory_symlink("/proc", link);
        }
    });
    Open(files);
    w.Runner().SetFileStartedHook({});
    ASSERT_EQ(shown_->lists.size(), 1u);
    std::vector<std::string> lines;
    std::string log = shown_->lists[0].log;
    for (size_t at; (at = log.find('\n')) != std::string::npos; log.erase(0, at + 1))
        lines.push_back(log.substr(0, at));
    ASSERT_EQ(lines.size(), files.size()) << shown_->lists[0].log;
    EXPECT_EQ(lines[0], "○：" + good);
    EXPECT_EQ(lines[2], "×：" + notes + "【非対応のファイル形式です】");
    for (size_t i : {1u, 3u, 4u, 5u}) {
        EXPECT_EQ(lines[i].rfind("×：" + files[i] + "【", 0), 0u) << lines[i];
        EXPECT_GT(lines[i].size(), ("×：" + files[i] + "【】").size()) << lines[i];
    }
    EXPECT_EQ(TilesOf("late"), 0u);
    EXPECT_EQ(testing::FileNames(out_).size(), 2u);  // good's tiles, no temporary file
}

// F3 again, or closing the window, ends a split between tiles: the tiles
// written stay whole under their names, no temporary file is left, no
// further file of a batch is started, and the title is the image's again.
TEST_F(SplitFlowTest, StopAndCloseEndTheSplitBetweenTiles) {
    settings_.widthValue[0] = settings_.heightValue[0] = 4;
    const int64_t all = 400 * 400;
    enum class How { F3, Close };
    for (How how : {How::F3, How::Close}) {
        SCOPED_TRACE(how == How::F3 ? "F3" : "close");
        fs::remove_all(out_);
        fs::create_directory(out_);
        MainWindow& w = OpenWindow();
        const std::string big = WriteBmp("big.bmp", 1600, 1600);
        const std::string next = WriteBmp("next.bmp", 40, 40);
        ASSERT_TRUE(Load(big));
        QSignalSpy finished(&w, &MainWindow::splitFinished);
        if (how == How::F3)
            Key(Qt::Key_F3);
        else
            w.StartOpenRequest({big, next});
        QTRY_VERIFY_WITH_TIMEOUT(w.Runner().TilesDone() > 0, 20000);
        if (how == How::F3) {
            Key(Qt::Key_F3);
        } else {
            EXPECT_TRUE(w.close());
            EXPECT_FALSE(w.isVisible());
        }
        ASSERT_TRUE(finished.wait(20000));
        EXPECT_FALSE(w.IsSplitRunning());
        const std::vector<std::string> names = testing::FileNames(out_);
        EXPECT_LT(static_cast<int64_t>(names.size()), all);
        for (const std::string& name : names) ASSERT_EQ(name.rfind("big_", 0), 0u) << name;
        if (how == How::F3) {
            EXPECT_EQ(shown_->results, std::vector<std::string>{"分割処理中止"});
            EXPECT_EQ(Title(), "Tessarin - " + big);
        } else {
            EXPECT_TRUE(shown_->lists.empty());  // nobody is left to read a report
        }
    }
}

// A lossless split reads the file's coefficients before its first tile: the
// title shows how far that read is, and F3 ends it there, with no tile.
TEST_F(SplitFlowTest, LosslessReadShowsItsProgressAndStopsOnF3) {
    MainWindow& w = OpenWindow();
    const std::string image = dir_ / "photo.jpg";
    jpeg_test::WriteSource(image, {.width = 320, .height = 480});
    settings_.formatOptions.Set("OPTION", "CORRECT_CUT", 0);
    settings_.widthValue[0] = settings_.heightValue[0] = 32;  // on the block grid
    ASSERT_TRUE(Load(image));
    // The read is held at its first step until the stop is in.
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::atomic<bool> held{false};
    w.Runner().SetReadHook([&held, gate] {
        if (!held.exchange(true)) gate.wait();
    });
    QSignalSpy finished(&w, &MainWindow::splitFinished);
    Key(Qt::Key_F3);
    QTRY_VERIFY_WITH_TIMEOUT(
        Title().find("% 読み込み中 - Tessarin - " + image) != std::string::npos, 10000);
    Key(Qt::Key_F3);
    release.set_value();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(shown_->results, std::vector<std::string>{"分割処理中止"});
    EXPECT_TRUE(testing::FileNames(out_).empty());
    EXPECT_EQ(Title(), "Tessarin - " + image);
}

TEST_F(SplitFlowTest, IconDropStartSplitsBeforeAnyWindow) {
    const std::string a = WriteBmp("a.bmp", 40, 16), b = WriteBmp("b.bmp", 40, 16);
    const std::string bad = dir_ / "bad.txt";
    testing::WriteBytes(bad, {1});
    fs::create_directory(dir_ / "empty");
    fs::create_directory(dir_ / "two");
    WriteBmp("two/x.bmp", 20, 16);
    WriteBmp("two/y.bmp", 20, 16);
    struct Case {
        const char* iconDad;
        const char* errorsOnly;
        std::vector<std::string> files;
        bool split;
        std::vector<std::string> results;
        size_t listLines;  // of the one result list, 0 for none
        std::vector<std::string> asked;
    };
    const Case cases[] = {
        {"0", "0", {a, b}, false, {}, 0, {}},
        {"1", "1", {a, b}, true, {}, 0, {}},  // all split, errors only: silent
        {"1", "1", {a, bad}, true, {}, 2, {}},
        {"1", "0", {a}, true, {"分割処理正常終了！"}, 0, {}},
        {"1", "0", {bad}, true, {"分割処理失敗"}, 0, {}},
        {"1", "0", {dir_ / "two", a}, true, {}, 3, {}},
        {"1", "0", {dir_ / "empty"}, true, {}, 0, {"!分割処理をしませんでした"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.iconDad) + c.errorsOnly + " " + c.files[0]);
        ASSERT_TRUE(WriteProfileStrings(
            paths_.mainSettingsPath,
            {{"OPTION", "ICON_DAD", c.iconDad}, {"OPTION", "ICON_DAD_MSG", c.errorsOnly}}));
        fs::remove_all(out_);
        fs::create_directory(out_);
        testing::RecordingPresenter presenter;
        const bool split = RunIconDropStart(c.files, settings_, paths_, presenter);
        EXPECT_EQ(split, c.split);
        EXPECT_EQ(presenter.log->results, c.results);
        EXPECT_EQ(presenter.log->lists.size(), c.listLines ? 1u : 0u);
        if (!presenter.log->lists.empty()) {
            const std::string& log = presenter.log->lists[0].log;
            EXPECT_EQ(static_cast<size_t>(std::count(log.begin(), log.end(), '\n')), c.listLines);
            EXPECT_FALSE(presenter.log->lists[0].stopped);
        }
        EXPECT_EQ(presenter.log->asked, c.asked);
        // Nothing has an owner before the window exists.
        EXPECT_EQ(presenter.log->ownerless,
                  static_cast<int>(presenter.log->results.size() + presenter.log->lists.size() +
                                   presenter.log->asked.size()));
        const bool hasA = std::find(c.files.begin(), c.files.end(), a) != c.files.end();
        EXPECT_EQ(TilesOf("a") > 0, c.split && hasA);
    }
}

}  // namespace
}  // namespace tessarin
