#pragma once
// The window's busy state and its splits, without any widget. While busy (a
// split, a batch, a load or an open request in hand) the commands that would
// change the image or the settings are refused, and F3 or the progress
// dialog's button asks the split to stop. The runner's threads report here on
// the GUI thread; the controller keeps the batch's result list and tells the
// window by signals what to show.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "settings/split_settings.h"
#include "split/batch_runner.h"
#include "split/selection.h"
#include "split/split_job.h"

class QTimer;

namespace tessarin {

class SplitRunner;
struct LoadOutcome;

// What the end of a split shows.
struct SplitReport {
    enum class Kind { Nothing, Message, List };
    Kind kind = Kind::Nothing;
    QString text;  // the message, or the batch's result lines
    bool stopped = false;
    std::string outputFolder;  // where the tiles of the latest split went
    // A single split: its tiles may have been shown in the title.
    bool single = false;
};

class SplitController : public QObject {
    Q_OBJECT

  public:
    explicit SplitController(QObject* parent = nullptr);
    // Stops a split in hand and waits for its tiles (a batch after the file
    // in hand).
    ~SplitController() override;

    bool Busy() const { return busy_; }
    void Enter();
    void Leave();
    bool StopRequested() const { return stopRequested_; }
    void ClearStopRequest() { stopRequested_ = false; }
    void RequestStop();
    // A split or a batch runs on the runner's thread.
    bool Splitting() const;

    // False, with nothing started, when no thread can be had.
    bool StartSingle(const CurrentImage& image, const SplitSettings& settings,
                     std::shared_ptr<const SelectionMap> selection);
    bool StartBatch(std::vector<std::string> paths, const SplitSettings& settings,
                    BatchOptions options);

    SplitRunner& Runner() const { return *runner_; }
    const std::string& LastOutputFolder() const { return lastOutputFolder_; }

  signals:
    void busyChanged(bool busy);
    // A batch file starts, is loaded for the viewer, and has its result line.
    void fileStarted(int index, int count);
    void imageLoaded(std::shared_ptr<LoadOutcome> outcome);
    void fileFinished();
    // The tiles of the file in hand, at most 20 times a second: every tick
    // of a batch, and a single split's once it has run a while.
    void batchTiles(int64_t done, int64_t total);
    void singleTiles(int64_t done, int64_t total);
    // A single split's read before its first tile, once it has run a while:
    // `done` of `total` steps.
    void singleRead(int64_t done, int64_t total);
    // The split or batch has ended; the controller is still busy until the
    // window has shown the report and calls Leave().
    void splitEnded(const SplitReport& report);

  private:
    void OnFileFinished(FileOutcome outcome, const QString& line, const QString& outputFolder);
    void OnBatchFinished(const BatchResult& batch);
    void OnSingleFinished(const SplitResult& result);
    void OnProgressTick();

    std::unique_ptr<SplitRunner> runner_;
    QTimer* progressTimer_ = nullptr;
    QElapsedTimer splitClock_;
    bool busy_ = false;
    bool stopRequested_ = false;
    bool batch_ = false;
    int batchCount_ = 0;
    QString resultLog_;
    FileOutcome lastOutcome_ = FileOutcome::Succeeded;
    std::string lastOutputFolder_;
};

}  // namespace tessarin
