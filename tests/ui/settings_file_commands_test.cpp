#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileDialog>
#include <QMessageBox>

#include "dialog_test_support.h"
#include "window_test_support.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using testing::Answering;

class SettingsFileCommandsTest : public testing::WindowTest {
  protected:
    // Runs `command` with its file dialog answered by `path` (empty: cancelled).
    // `replace` answers the question whether to replace an existing file.
    void RunWithFile(int command, const std::string& path, const char* title,
                     bool replace = false) {
        const auto answer = [&](QFileDialog& files) {
            EXPECT_EQ(files.windowTitle().toStdString(), title);
            EXPECT_EQ(files.nameFilters(),
                      (QStringList{"INI ファイル (*.ini)", "すべてのファイル (*.*)"}));
            if (path.empty()) return files.reject();
            files.selectFile(QString::fromStdString(path));
            const auto accept = [&] { static_cast<QDialog&>(files).accept(); };
            if (!replace) return accept();
            Answering<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); },
                                   accept);
        };
        Answering<QFileDialog>(answer, [&] { Trigger(command); });
    }
    void SaveAs(const std::string& path, bool replace = false) {
        RunWithFile(4055, path, "分割設定に名前を付けて保存", replace);
    }
    void LoadFrom(const std::string& path) { RunWithFile(4054, path, "分割設定を読み込む"); }
    std::string FileText(const std::string& path) {
        auto bytes = testing::ReadBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(SettingsFileCommandsTest, SaveAsWritesTheWholeSlotFileUnderTheNameGiven) {
    OpenWindow();
    ASSERT_TRUE(RenameSlot(paths_, "保存用", nullptr));
    settings_.formatOptions.Set("JPEG", "QUALITY", 42);
    SaveAs(dir_ / "backup");
    EXPECT_EQ(FileText(dir_ / "backup.ini"), FileText(paths_.slotSettingsPath));
    EXPECT_EQ(GetProfileString(dir_ / "backup.ini", "INI", "NAME", ""), "保存用");
    EXPECT_EQ(GetProfileString(dir_ / "backup.ini", "JPEG", "QUALITY", ""), "42");
    SaveAs(dir_ / "backup.txt");
    EXPECT_TRUE(fs::exists(dir_ / "backup.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "backup.txt.ini"));

    // Not overwriting: the copy is the slot file as it stands on disk.
    Trigger(4057);
    settings_.formatOptions.Set("JPEG", "QUALITY", 9);
    SaveAs(dir_ / "kept.ini");
    EXPECT_EQ(GetProfileString(dir_ / "kept.ini", "JPEG", "QUALITY", ""), "42");
    EXPECT_EQ(MainValue("OPTION", "NUM_THREAD"), "1");
    SaveAs("");
    EXPECT_TRUE(errors_->empty());
}

TEST_F(SettingsFileCommandsTest, SaveAsThatCannotWriteSaysSoAndKeepsTheOldFile) {
    OpenWindow();
    testing::WriteBytes(dir_ / "file", {'x'});
    SaveAs(dir_ / "file/backup.ini");
    EXPECT_EQ(*errors_, std::vector<std::string>{"設定ファイルの書き込みに失敗しました\n\n" +
                                                 (dir_ / "file/backup.ini")});
    // A read-only folder (which does not stop root): the old file stays as it was.
    if (geteuid() == 0) return;
    errors_->clear();
    fs::create_directory(dir_ / "ro");
    testing::WriteBytes(dir_ / "ro/old.ini", {'o', 'l', 'd'});
    fs::permissions(dir_ / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    SaveAs(dir_ / "ro/old.ini", true);
    fs::permissions(dir_ / "ro", fs::perms::owner_all);
    EXPECT_EQ(errors_->size(), 1u);
    EXPECT_EQ(FileText(dir_ / "ro/old.ini"), "old");
}

TEST_F(SettingsFileCommandsTest, LoadTakesTheFileIntoTheSlotOrRefusesWhatIsNoSettingsFile) {
    MainWindow& w = OpenWindow();
    settings_.formatOptions.Set("JPEG", "QUALITY", 61);
    ASSERT_TRUE(SaveSplitSettings(settings_, paths_, nullptr));
    const std::string slotBefore = FileText(paths_.slotSettingsPath);

    // What cannot be a settings file leaves the settings and the slot as they were.
    const std::string huge = dir_ / "huge.ini";
    const int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(::ftruncate(fd, 100 << 20), 0);
    ::close(fd);
    const std::string fifo = dir_ / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    for (const std::string& path : {huge, fifo}) {
        errors_->clear();
        LoadFrom(path);
        EXPECT_EQ(*errors_,
                  std::vector<std::string>{"設定ファイルを読み込めませんでした\n\n" + path});
        EXPECT_EQ(settings_.formatOptions.Get("JPEG", "QUALITY"), 61);
        EXPECT_EQ(FileText(paths_.slotSettingsPath), slotBefore);
    }

    // UTF-16 as written on Windows is read; the values become the slot's.
    std::vector<uint8_t> utf16 = {0xFF, 0xFE};
    for (char c : std::string("[JPEG]\r\nQUALITY=33\r\n[CUT_SIZE]\r\nADJUST_ASPECT=1\r\n")) {
        utf16.push_back(static_cast<uint8_t>(c));
        utf16.push_back(0);
    }
    testing::WriteBytes(dir_ / "windows.ini", utf16);
    errors_->clear();
    LoadFrom(dir_ / "windows.ini");
    EXPECT_EQ(settings_.formatOptions.Get("JPEG", "QUALITY"), 33);
    EXPECT_EQ(SlotValue("JPEG", "QUALITY"), "33");
    EXPECT_TRUE(w.IsChecked(4013));

    // Noise reads as a file without keys: every value at its default, all usable.
    std::vector<uint8_t> noise(4096);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
    testing::WriteBytes(dir_ / "noise.bin", noise);
    LoadFrom(dir_ / "noise.bin");
    EXPECT_EQ(settings_.formatOptions.Get("JPEG", "QUALITY"), 75);
    EXPECT_EQ(SlotValue("JPEG", "QUALITY"), "75");
    EXPECT_TRUE(errors_->empty());

    LoadFrom("");  // cancelled
    EXPECT_EQ(settings_.formatOptions.Get("JPEG", "QUALITY"), 75);
}

}  // namespace
}  // namespace tessarin
