// Opening files in the window: the open dialog, drops of files and folders,
// next and previous file, and the About box.

#include <unistd.h>

#include <QComboBox>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <tuple>

#include "dialog_test_support.h"
#include "imaging/format_registry.h"
#include "imaging/png/png_test_support.h"
#include "split/path_list.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/open_file_dialog.h"
#include "ui/dialogs/result_dialog.h"
#include "ui/readme_location.h"
#include "ui/window/command_ids.h"
#include "window_test_support.h"

namespace tessarin::testing {
namespace {

namespace fs = std::filesystem;
using PathList = std::vector<std::string>;

std::string BaseName(const std::string& path) { return fs::path(path).filename().string(); }

// A window whose open requests are recorded instead of started.
class FileOpeningTest : public WindowTest {
  protected:
    MainWindow& OpenRecordingWindow() {
        MainWindow& w = OpenWindow();
        w.SetOpenRequestSink([this](PathList paths) { requests_.push_back(std::move(paths)); });
        return w;
    }

    std::string MakeFolder(const std::string& name) {
        const std::string folder = dir_ / name;
        fs::create_directories(folder);
        return folder;
    }

    std::vector<PathList> requests_;
};

TEST_F(FileOpeningTest, NextAndPreviousFollowTheFolderListingWithoutWrapping) {
    const std::string folder = MakeFolder("pictures");
    QImage png(8, 6, QImage::Format_RGB32);
    png.fill(Qt::red);
    ASSERT_TRUE(png.save(QString::fromStdString(folder + "/b.png")));
    WriteBmp("pictures/a.bmp", 8, 6);
    WriteBytes(folder + "/notes.txt", {'n', 'o'});
    // The listing order is the file system's; notes.txt is never a target.
    std::map<std::string, size_t> order;
    for (const std::string& path : ListFolderFiles(folder)) order[BaseName(path)] = order.size();
    ASSERT_EQ(order.size(), 3u);

    MainWindow& w = OpenRecordingWindow();
    Trigger(cmd::kNextFile);  // no image on view
    Trigger(cmd::kPreviousFile);
    EXPECT_TRUE(requests_.empty());

    for (const auto& [current, other] : {std::pair{"b.png", "a.bmp"}, {"a.bmp", "b.png"}}) {
        ASSERT_TRUE(Load(folder + "/" + current));
        const bool otherAfter = order[other] > order[current];
        for (const int id : {cmd::kNextFile, cmd::kPreviousFile}) {
            SCOPED_TRACE(std::string(current) + (id == cmd::kNextFile ? " next" : " previous"));
            requests_.clear();
            Trigger(id);
            const bool found = (id == cmd::kNextFile) == otherAfter;
            EXPECT_EQ(requests_, found ? std::vector<PathList>{{folder + "/" + other}}
                                       : std::vector<PathList>{});
            EXPECT_FALSE(w.IsSplitRunning());
        }
    }
}

struct DropCase {
    const char* name;
    std::vector<std::string> items;  // names under the drop folder; "scheme:" ones are not files
    bool busy;
    bool stop;                        // F3 while the folders are listed
    bool accepted;                    // the window takes the drag
    std::optional<PathList> request;  // names, "*" standing for the folder's files
};

TEST_F(FileOpeningTest, DropsOpenTheirFilesAndTheFilesOfTheirFoldersAsOneRequest) {
    const std::string base = MakeFolder("drop");
    const std::string folder = MakeFolder("drop/folder");
    const std::string sub = MakeFolder("drop/folder/sub");
    MakeFolder("drop/empty");
    for (const char* name : {"x.bmp", "y.png", "z.txt"}) WriteBytes(folder + "/" + name, {1});
    WriteBytes(sub + "/deep.bmp", {1});
    WriteBytes(base + "/c.bmp", {1});
    PathList folderFiles = ListFolderFiles(folder);
    PathList names;
    for (const std::string& file : folderFiles) names.push_back(BaseName(file));
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names, (PathList{"x.bmp", "y.png", "z.txt"}));  // sub-folders are not entered

    const DropCase cases[] = {
        {"folder, file", {"folder", "c.bmp"}, false, false, true, PathList{"*", "c.bmp"}},
        {"file, folder", {"c.bmp", "folder"}, false, false, true, PathList{"c.bmp", "*"}},
        {"empty folder", {"empty"}, false, false, true, std::nullopt},
        {"F3 while listing", {"folder"}, false, true, true, std::nullopt},
        {"empty folder, file", {"empty", "c.bmp"}, false, false, true, PathList{"c.bmp"}},
        {"not a local file", {"trash:/c.bmp"}, false, false, false, std::nullopt},
        {"while busy", {"c.bmp"}, true, false, false, std::nullopt},
    };
    MainWindow& w = OpenRecordingWindow();
    ASSERT_TRUE(Load(WriteBmp("on-view.bmp", 8, 6)));  // F3 needs an image
    for (const DropCase& c : cases) {
        SCOPED_TRACE(c.name);
        requests_.clear();
        if (c.busy) w.EnterSplitState();
        QList<QUrl> urls;
        for (const std::string& item : c.items)
            urls << (item.find(':') != std::string::npos
                         ? QUrl(QString::fromStdString(item))
                         : QUrl::fromLocalFile(QString::fromStdString(base + "/" + item)));
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&w, &enter);
        EXPECT_EQ(enter.isAccepted(), c.accepted);
        QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&w, &drop);
        // Busy while the folders are listed; a drop while busy changes nothing.
        EXPECT_EQ(w.IsSplitRunning(), c.accepted || c.busy);
        if (c.stop) Key(Qt::Key_F3);
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.IsSplitRunning() == c.busy; }, 10000));
        std::vector<PathList> expected;
        if (c.request) {
            PathList paths;
            for (const std::string& name : *c.request) {
                if (name == "*")
                    paths.insert(paths.end(), folderFiles.begin(), folderFiles.end());
                else
                    paths.push_back(base + "/" + name);
            }
            expected.push_back(paths);
        }
        EXPECT_EQ(requests_, expected);
        if (c.busy) w.RestoreIdleState();
    }
}

TEST_F(FileOpeningTest, OpenDialogStartsOnTheFilterLastChosenInThisRun) {
    struct Answer {
        int expectedStart;  // the filter the dialog is opened on
        OpenFileChoice choice;
    };
    const PathList three = {dir_ / "1.bmp", dir_ / "2.png", dir_ / "3.jpg"};
    const Answer answers[] = {
        {0, {{}, 2}},     // cancelled on PNG
        {2, {three, 1}},  // three files, on JPEG
        {1, {{dir_ / "4.gif"}, 3}},
    };
    MainWindow& w = OpenRecordingWindow();
    size_t asked = 0;
    w.SetOpenFileAsker([&](QWidget* owner, int filterIndex) {
        EXPECT_EQ(owner, &w);
        EXPECT_TRUE(w.IsSplitRunning());  // busy while the dialog is up
        EXPECT_EQ(filterIndex, answers[asked].expectedStart) << "dialog " << asked;
        return answers[asked++].choice;
    });
    std::vector<PathList> expected;
    for (const Answer& answer : answers) {
        Key(Qt::Key_F2);
        if (!answer.choice.paths.empty()) expected.push_back(answer.choice.paths);
        EXPECT_FALSE(w.IsSplitRunning());
    }
    EXPECT_EQ(asked, std::size(answers));
    EXPECT_EQ(requests_, expected);
}

// The names the dialog lists in its folder under its current filter, sorted.
PathList ListedNames(QFileDialog& dialog) {
    auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
    PathList names;
    if (!view || !view->model()) return names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row)
        names.push_back(view->model()->index(row, 0, root).data().toString().toStdString());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(FileOpeningTest, OpenDialogListsByTheRegistrysFiltersAndReturnsTheChoice) {
    // A file of every extension of every format, and one of none. Each
    // format that asks for a filter gets one, in the registry's order,
    // listing its own files; "every file" comes last and lists them all.
    const std::string folder = MakeFolder("open");
    struct Filter {
        std::string text;
        PathList listed;
    };
    std::vector<Filter> filters;
    PathList all = {"readme"};
    for (const ImageFormat* format : ImageFormats()) {
        Filter filter{std::string(format->name) + " (", {}};
        for (const char* const* e = format->extensions; *e; ++e) {
            const std::string name = std::string(format->name) + *e;
            filter.text += std::string(e == format->extensions ? "*" : ", *") + *e;
            filter.listed.push_back(name);
            all.push_back(name);
        }
        filter.text += ")";
        std::sort(filter.listed.begin(), filter.listed.end());
        if (format->dialogFilter) filters.push_back(filter);
    }
    std::sort(all.begin(), all.end());
    filters.push_back({"全て (*.*)", all});
    for (const std::string& name : all) WriteBytes(folder + "/" + name, {1});
    ASSERT_GE(filters.size(), 3u);  // the choice below is the second filter
    EXPECT_EQ(filters.front().text, "BMP (*.bmp, *.dib)");
    const std::string first = filters[0].listed.front(), second = filters[1].listed.front();
    OpenFileChoice choice;
    Answering<QFileDialog>(
        [&](QFileDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle().toStdString(), "ファイルを開く");
            EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFiles);
            auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            ASSERT_NE(combo, nullptr);
            EXPECT_EQ(combo->currentIndex(), 2);
            ASSERT_EQ(combo->count(), static_cast<int>(filters.size()));
            dialog.setDirectory(QString::fromStdString(folder));
            for (size_t i = 0; i < filters.size(); ++i) {
                const int index = static_cast<int>(i);
                SCOPED_TRACE(filters[i].text);
                EXPECT_EQ(combo->itemText(index).toStdString(), filters[i].text);
                dialog.selectNameFilter(OpenFileFilters().at(index));
                const PathList& listed = filters[i].listed;  // sorted
                if (!QTest::qWaitFor([&] { return ListedNames(dialog) == listed; }, 5000)) {
                    EXPECT_EQ(ListedNames(dialog), listed);
                }
            }
            dialog.selectNameFilter(OpenFileFilters().at(1));
            auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString("\"" + second + "\" \"" + first + "\""));
            static_cast<QDialog&>(dialog).accept();
        },
        [&] { choice = AskOpenFiles(nullptr, 2); });
    EXPECT_EQ(choice.filterIndex, 1);
    EXPECT_EQ(choice.paths, (PathList{folder + "/" + second, folder + "/" + first}));
}

TEST_F(FileOpeningTest, AboutBoxLinkHighlightsUnderThePointerAndOpensTheGuide) {
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "open");
    OpenWindow();
    Answering<AboutDialog>(
        [&](AboutDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle().toStdString(), "バージョン情報");
            auto* link = ControlOf<HoverLink>(dialog, 1014);
            ASSERT_NE(link, nullptr);
            QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
            QEvent leave(QEvent::Leave);
            QEvent away(QEvent::ActivationChange);
            // An event, its receiver, and the link's colour and underline after it.
            const std::tuple<QEvent*, QWidget*, const char*, bool> steps[] = {
                {&enter, link, "#ff0000", true},
                {&leave, link, "#0000ff", false},
                {&enter, link, "#ff0000", true},
                {&away, &dialog, "#0000ff", false},
            };
            for (const auto& [event, receiver, colour, underlined] : steps) {
                QApplication::sendEvent(receiver, event);
                EXPECT_EQ(link->palette().color(QPalette::WindowText).name().toStdString(), colour);
                EXPECT_EQ(link->font().underline(), underlined);
            }
            QApplication::sendEvent(link, &enter);
            QTest::mouseClick(link, Qt::LeftButton);
            EXPECT_FALSE(link->font().underline());
            ASSERT_EQ(recorder.urls.size(), 1u);
            EXPECT_EQ(BaseName(recorder.urls[0].toLocalFile().toStdString()), "Readme.txt");
            PressOk(dialog);
        },
        [&] { Trigger(cmd::kAbout); });
    QDesktopServices::unsetUrlHandler("file");
}

// The lines starting with "tessarin:" that `action` writes to stderr.
std::vector<std::string> TessarinLinesOnStderr(const std::function<void()>& action) {
    std::FILE* file = std::tmpfile();
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(::fileno(file), 2);
    action();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::rewind(file);
    std::vector<std::string> lines;
    char line[4096];
    while (std::fgets(line, sizeof line, file))
        if (std::string_view(line).starts_with("tessarin:")) lines.emplace_back(line);
    std::fclose(file);
    return lines;
}

// Without a program to open them (no xdg-open on PATH; the offscreen
// platform opens nothing either), F1 and "保存フォルダを開く" leave the
// window alone and say on stderr what they could not open.
TEST_F(FileOpeningTest, OpenFailuresAreOneLineOnStderrAndNoBox) {
    QTemporaryDir emptyBin;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", emptyBin.path().toLocal8Bit());
    OpenWindow();
    const auto readme = TessarinLinesOnStderr([&] { Trigger(cmd::kReadme); });
    ResultDialog dialog(QStringLiteral("分割処理正常終了！"), dir_ / "tiles", window_.get());
    const auto folder = TessarinLinesOnStderr([&] {
        QTimer::singleShot(0, dialog.findChild<QPushButton*>("1002"), &QPushButton::click);
        dialog.exec();
    });
    qputenv("PATH", path);
    const std::string why = ": no program to open it (xdg-open)\n";
    EXPECT_EQ(readme, std::vector{"tessarin: cannot open " + ReadmePath() + why});
    EXPECT_EQ(folder, std::vector{"tessarin: cannot open " + (dir_ / "tiles") + why});
    EXPECT_TRUE(errors_->empty());
    EXPECT_TRUE(shown_->asked.empty());
}

// A load in hand gives way: F3 stops it and the image before it stays, with
// no message; opening another file stops it and opens that one instead.
// Meanwhile the commands that open another file stay enabled. A JPEG file
// stops inside the library, a PNG file between two rows.
TEST_F(FileOpeningTest, LoadsStopForF3AndGiveWayToAnotherFile) {
    MainWindow& w = OpenWindow();
    const std::string before = WriteBmp("before.bmp", 40, 30);
    const std::string other = WriteBmp("other.bmp", 20, 10);
    const std::string jpeg = dir_ / "big.jpg", png = dir_ / "big.png";
    WriteFlatJpeg(jpeg, 12000, 12000);
    pngtest::PngLayout layout;
    layout.width = layout.height = 3000;
    layout.colorType = PNG_COLOR_TYPE_GRAY;
    layout.rows.assign(3000, std::vector<uint8_t>(3000, 0x80));
    ASSERT_TRUE(pngtest::WritePng(png, layout));
    for (const std::string& big : {jpeg, png}) {
        SCOPED_TRACE(big);
        ASSERT_TRUE(Load(before));
        QSignalSpy finished(&w, &MainWindow::loadFinished);
        w.OpenForViewing(big);
        ASSERT_TRUE(w.LoadInHand());
        EXPECT_EQ(w.Action(cmd::kSplit)->text().toStdString(), "分割中止(&E)\tF3");
        for (int id : {cmd::kOpenFile, cmd::kNextFile, cmd::kPreviousFile})
            EXPECT_TRUE(w.Action(id)->isEnabled()) << id;
        EXPECT_FALSE(w.Action(cmd::kSplitSize)->isEnabled());
        QTest::keyClick(&w, Qt::Key_F3);
        ASSERT_TRUE(finished.wait(10000));
        EXPECT_FALSE(finished.at(0).at(0).toBool());
        EXPECT_EQ(w.Image().path, before);
        EXPECT_EQ(w.windowTitle().toStdString(), "Tessarin - " + before);
        EXPECT_FALSE(w.IsSplitRunning());
        EXPECT_EQ(w.Action(cmd::kSplit)->text().toStdString(), "分割実行(&E)\tF3");

        w.OpenForViewing(big);
        w.StartOpenRequest({other});
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, 10000);
        EXPECT_FALSE(finished.at(1).at(0).toBool());
        EXPECT_TRUE(finished.at(2).at(0).toBool());
        EXPECT_EQ(w.Image().path, other);
    }
    EXPECT_TRUE(errors_->empty());
}

}  // namespace
}  // namespace tessarin::testing
