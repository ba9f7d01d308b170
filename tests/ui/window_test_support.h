#pragma once
// A main window on its own settings folder, with message boxes recorded
// instead of shown.

#include <gtest/gtest.h>

#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "settings/split_settings.h"
#include "support/test_files.h"
#include "ui/dialogs/message_presenter.h"
#include "ui/window/main_window.h"

namespace tessarin::testing {

// What the presenter was asked to show, in order, and the answers it gives.
struct PresenterLog {
    std::vector<std::string> asked;    // "?question" (Yes/No) and "!text" (OK only)
    std::vector<bool> answers;         // given to the questions in turn; Yes when none is left
    std::vector<std::string> results;  // dialog 210: its message
    struct List {
        std::string log;
        bool stopped;
        bool owned;
    };
    std::vector<List> lists;  // dialog 204
    int ownerless = 0;        // boxes and dialogs shown without a parent
};

struct RecordingPresenter : MessagePresenter {
    void ShowError(QWidget* parent, const QString& text) override {
        errors->push_back(text.toStdString());
        log->ownerless += parent ? 0 : 1;
    }
    void ShowNotice(QWidget*, const QString& text) override {
        notices->push_back(text.toStdString());
    }
    bool AskYesNo(QWidget* parent, const QString& text) override {
        log->asked.push_back("?" + text.toStdString());
        log->ownerless += parent ? 0 : 1;
        if (log->answers.empty()) return true;
        const bool yes = log->answers.front();
        log->answers.erase(log->answers.begin());
        return yes;
    }
    void Tell(QWidget* parent, const QString& text) override {
        log->asked.push_back("!" + text.toStdString());
        log->ownerless += parent ? 0 : 1;
    }
    void ShowResult(QWidget* parent, const QString& message, const std::string&) override {
        log->results.push_back(message.toStdString());
        log->ownerless += parent ? 0 : 1;
    }
    void ShowResultList(QWidget* parent, const QString& text, bool stopped,
                        const std::string&) override {
        log->lists.push_back({text.toStdString(), stopped, parent != nullptr});
        log->ownerless += parent ? 0 : 1;
    }
    std::shared_ptr<std::vector<std::string>> errors = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<std::vector<std::string>> notices =
        std::make_shared<std::vector<std::string>>();
    std::shared_ptr<PresenterLog> log = std::make_shared<PresenterLog>();
};

// A grey baseline JPEG file of width x height pixels, all of one grey: each
// block codes a DC difference of 0 and an end of block, one bit each with
// tables of one code, so the coded data is all zero bytes and a gigapixel
// takes a few megabytes.
inline void WriteFlatJpeg(const std::string& path, int width, int height) {
    std::string bytes = {'\xFF', '\xD8'};
    auto segment = [&bytes](char marker, std::string body) {
        const size_t length = body.size() + 2;
        bytes += {'\xFF', marker, static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)};
        bytes += body;
    };
    segment('\xDB', std::string(1, '\0') + std::string(64, '\x10'));
    segment('\xC0',
            {8, static_cast<char>(height >> 8), static_cast<char>(height & 0xFF),
             static_cast<char>(width >> 8), static_cast<char>(width & 0xFF), 1, 1, 0x11, 0});
    // One code of one bit (16 counts of codes by length, then the symbol): DC
    // difference category 0, and end of block.
    std::string oneCode(17, '\0');
    oneCode[0] = 1;
    segment('\xC4', std::string(1, '\x00') + oneCode);
    segment('\xC4', std::string(1, '\x10') + oneCode);
    segment('\xDA', {1, 1, 0, 0, 63, 0});
    const uint64_t blocks = ((uint64_t(width) + 7) / 8) * ((uint64_t(height) + 7) / 8);
    bytes += std::string((blocks * 2 + 7) / 8, '\0');
    bytes += {'\xFF', '\xD9'};
    WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { ResolvePaths(); }

    // Settings in <temp>/config as the user alice.
    void ResolvePaths() {
        paths_ = ResolveSettingsPathsIn(dir_ / "config", "alice");
        LoadSplitSettings(settings_, paths_);
    }

    MainWindow& OpenWindow() {
        window_ = std::make_unique<MainWindow>(settings_, paths_);
        auto presenter = std::make_unique<RecordingPresenter>();
        errors_ = presenter->errors;
        notices_ = presenter->notices;
        shown_ = presenter->log;
        window_->SetMessagePresenter(std::move(presenter));
        window_->resize(800, 600);
        window_->show();
        window_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        return *window_;
    }

    // Loads for viewing and waits until the image is current or refused.
    bool Load(const std::string& path) {
        QSignalSpy finished(window_.get(), &MainWindow::loadFinished);
        window_->OpenForViewing(path);
        if (!finished.wait(10000)) return false;
        return finished.at(0).at(0).toBool();
    }

    void Trigger(int id) { window_->Action(id)->trigger(); }
    void Key(Qt::Key key) { QTest::keyClick(window_.get(), key); }

    std::string MainValue(const char* section, const char* key) {
        return GetProfileString(paths_.mainSettingsPath, section, key, "<none>");
    }
    std::string SlotValue(const char* section, const char* key) {
        return GetProfileString(paths_.slotSettingsPath, section, key, "<none>");
    }

    // A 24-bit BMP of width x height in grey.
    std::string WriteBmp(const std::string& name, int width, int height) {
        BmpLayout layout;
        layout.width = width;
        layout.height = height;
        layout.bitCount = 24;
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
        layout.pixels.assign(stride * static_cast<size_t>(height), 0x80);
        const std::string path = dir_ / name;
        WriteBytes(path, BuildBmp(layout));
        return path;
    }

    TempDir dir_;
    SettingsPaths paths_;
    SplitSettings settings_;
    std::unique_ptr<MainWindow> window_;
    std::shared_ptr<std::vector<std::string>> errors_;
    std::shared_ptr<std::vector<std::string>> notices_;
    std::shared_ptr<PresenterLog> shown_;
};

}  // namespace tessarin::testing

namespace tessarin::testing {

// Receives what QDesktopServices would hand to the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT

  public slots:
    void open(const QUrl& url) { urls.push_back(url); }

  public:
    std::vector<QUrl> urls;
};

}  // namespace tessarin::testing
