#include "ui/window/icon_drop_start.h"

#include "platform/notifier.h"
#include "platform/profile.h"
#include "settings/app_preferences.h"
#include "split/batch_runner.h"
#include "split/formats.h"
#include "split/path_list.h"
#include "split/split_checks.h"
#include "ui/dialogs/message_presenter.h"
#include "ui/translation.h"

namespace tessarin {

namespace {

// The readers' messages with no window to own them. The batch runs on this
// (the only) thread, so the boxes wait for the user as they come.
class OwnerlessNotifier : public Notifier {
  public:
    OwnerlessNotifier(MessagePresenter& presenter, bool showNotices)
        : presenter_(presenter), showNotices_(showNotices) {}
    void ShowError(const std::string& text) override {
        presenter_.ShowError(nullptr, EngineText(text));
    }
    void ShowNotice(const std::string& text) override {
        if (showNotices_) presenter_.Tell(nullptr, EngineText(text));
    }

  private:
    MessagePresenter& presenter_;
    bool showNotices_;
};

class LogObserver : public BatchObserver {
  public:
    void FileFinished(size_t, FileOutcome outcome, const SplitResult& result,
                      const std::string& line) override {
        log += EngineLine(line) + QLatin1Char('\n');
        last = outcome;
        failed = failed || outcome == FileOutcome::Failed;
        if (!result.outputFolder.empty()) outputFolder = result.outputFolder;
    }
    QString log;
    FileOutcome last = FileOutcome::Succeeded;
    bool failed = false;
    std::string outputFolder;
};

}  // namespace

bool RunIconDropStart(const std::vector<std::string>& files, SplitSettings& settings,
                      const SettingsPaths& paths, MessagePresenter& presenter) {
    if (files.empty()) return false;
    ProfileDocument mainFile;
    ReadProfileFile(paths.mainSettingsPath, mainFile);
    if (!ReadPreference(mainFile, Preference::IconDragAndDrop)) return false;
    PresenterAsker asker(presenter, nullptr);
    if (!CheckSplitReady(settings, asker)) return false;

    const std::vector<std::string> list = ExpandFolders(files);
    BatchOptions options;
    // No window shows the images: each file is decoded only as far as its
    // tiles need.
    options.withoutViewer = true;
    options.skipBlockGrid = !CheckJpegLosslessAlignmentOfList(list, settings, asker);
    OwnerlessNotifier notifier(presenter, !ReadPreference(mainFile, Preference::NoBmp16Notice));
    options.owner = &notifier;
    PathListSource source(list, settings);
    LogObserver observer;
    RunBatch(source, options, observer);

    const bool errorsOnly = ReadPreference(mainFile, Preference::IconDropErrorsOnly);
    if (observer.failed || !errorsOnly) {
        if (list.size() >= 2) {
            presenter.ShowResultList(nullptr, observer.log, false, observer.outputFolder);
        } else if (list.empty() || observer.last == FileOutcome::Skipped) {
            presenter.Tell(nullptr, Tessarin::tr("分割処理をしませんでした"));
        } else {
            presenter.ShowResult(nullptr,
                                 observer.last == FileOutcome::Succeeded
                                     ? Tessarin::tr("分割処理正常終了！")
                                     : Tessarin::tr("分割処理失敗"),
                                 observer.outputFolder);
        }
    }
    return true;
}

}  // namespace tessarin
