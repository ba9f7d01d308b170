#include "split/tile_worker.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

#include "imaging/bmp/bmp_format.h"
#include "imaging/gif/gif_test_files.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/memory_budget.h"
#include "platform/atomic_file.h"
#include "platform/staging_folder.h"
#include "split/batch_runner.h"
#include "split/image_loader.h"
#include "split/messages.h"
#include "support/test_files.h"
#include "support/whole_load.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Records which worker was asked for which tile; fails or throws on request.
class RecordingSource : public TileSource {
  public:
    const char* WriteTile(const TileRect& rect, const TileFile& file,
                          TileContext& ctx) const override {
        std::lock_guard<std::mutex> lock(mutex_);
        calls.push_back({ctx.workerIndex, rect.row * 100 + rect.column, ctx.tilesWritten});
        EXPECT_EQ(::write(file.fd, "x", 1), 1);
        if (failAtTile >= 0 && rect.row * 100 + rect.column == failAtTile) {
            if (throwAtFailure) throwAtFailure();
            return "失敗";
        }
        return nullptr;
    }
    const char* SaveFailedMessage() const override { return "保存の失敗"; }
    struct Call {
        int worker, tile, writtenBefore;
    };
    mutable std::vector<Call> calls;
    int failAtTile = -1;
    void (*throwAtFailure)() = nullptr;

  private:
    mutable std::mutex mutex_;
};

SplitPlan MakePlan(const TileSource& source, const SplitSettings& settings, JobState& job,
                   const std::string& folder, int width, int height, int threads) {
    SplitPlan plan;
    plan.source = &source;
    plan.grid = ComputeGridCounts(width, height, settings);
    plan.folder = folder;
    plan.baseName = "img";
    plan.extension = ".bmp";
    plan.settings = &settings;
    plan.threadCount = threads;
    plan.job = &job;
    return plan;
}

TEST(TileWorker, WorkersShareTilesByNumberModuloTheWorkerCount) {
    TempDir dir;
    SplitSettings settings;
    settings.widthValue[0] = 300;
    settings.heightValue[0] = 300;
    RecordingSource source;
    JobState job;
    SplitPlan plan = MakePlan(source, settings, job, dir.Path().string(), 1000, 600, 2);
    ASSERT_EQ(plan.grid.columns, 4);
    ASSERT_EQ(plan.grid.rows, 2);
    RunTileWorker(plan, 0);
    RunTileWorker(plan, 1);
    std::vector<int> byWorker[2];
    for (auto& c : source.calls) byWorker[c.worker].push_back(c.tile);
    EXPECT_EQ(byWorker[0], (std::vector<int>{0, 2, 100, 102}));  // tiles 0, 2, 4, 6
    EXPECT_EQ(byWorker[1], (std::vector<int>{1, 3, 101, 103}));  // tiles 1, 3, 5, 7
    EXPECT_FALSE(job.Failed());
    EXPECT_TRUE(fs::exists(dir / "img_1_1.bmp"));
    EXPECT_TRUE(fs::exists(dir / "img_2_4.bmp"));
    // No temporary names are left behind.
    int files = 0;
    for (auto& entry : fs::directory_iterator(dir.Path())) {
        ++files;
        EXPECT_NE(entry.path().filename().string()[0], '.');
    }
    EXPECT_EQ(files, 8);
}

TEST(TileWorker, FirstFailureStopsTheWorkerRemovesItsTileAndKeepsEarlierOnes) {
    TempDir dir;
    SplitSettings settings;
    settings.widthValue[0] = 10;
    settings.heightValue[0] = 10;
    testing::WriteBytes(dir / "img_1_2.bmp", {'o', 'l', 'd'});
    RecordingSource source;
    source.failAtTile = 1;  // column 1 of row 0: img_1_2
    JobState job;
    SplitPlan plan = MakePlan(source, settings, job, dir.Path().string(), 30, 10, 1);
    RunTileWorker(plan, 0);
    EXPECT_EQ(job.ErrorText(), "失敗");
    EXPECT_EQ(source.calls.size(), 2u);  // the third tile is never reached
    EXPECT_TRUE(fs::exists(dir / "img_1_1.bmp"));
    // The failed tile's older file is untouched; no partial file is left.
    EXPECT_EQ(testing::ReadBytes(dir / "img_1_2.bmp"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(fs::exists(dir / "img_1_3.bmp"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
    // The per-worker count reaches the source: the first tile saw 0 tiles written.
    EXPECT_EQ(source.calls[0].writtenBefore, 0);
    EXPECT_EQ(source.calls[1].writtenBefore, 1);
}

// An exception in a tile's step never leaves the worker: it becomes that
// worker's failure (a memory shortage has its own message), the tile's
// temporary file goes, and the tiles written before stay.
TEST(TileWorker, ExceptionsEndTheWorkerWithAMessage) {
    struct Case {
        void (*raise)();
        const char* message;
    };
    for (Case c : {Case{[] { throw std::bad_alloc(); }, msg::kMemoryFailed},
                   Case{[] { throw std::length_error("row"); }, "保存の失敗"}}) {
        TempDir dir;
        SplitSettings settings;
        settings.widthValue[0] = 10;
        RecordingSource source;
        source.failAtTile = 1;
        source.throwAtFailure = c.raise;
        JobState job;
        SplitPlan plan = MakePlan(source, settings, job, dir.Path().string(), 30, 10, 1);
        RunTileWorker(plan, 0);
        EXPECT_EQ(job.ErrorText(), c.message);
        EXPECT_EQ(source.calls.size(), 2u);
        EXPECT_EQ(testing::FileNames(dir.Path()), (std::vector<std::string>{"img_1_1.bmp"}));
    }
}

TEST(TileWorker, NameTooLongForTheFileSystemIsASaveFailure) {
    TempDir dir;
    SplitSettings settings;
    RecordingSource source;
    JobState job;
    SplitPlan plan = MakePlan(source, settings, job, dir.Path().string(), 5, 5, 1);
    plan.baseName = std::string(300, 'n');
    RunTileWorker(plan, 0);
    EXPECT_EQ(job.ErrorText(), source.SaveFailedMessage());
    EXPECT_TRUE(source.calls.empty());
}

TEST(TileWorker, SelectionModeWithNothingSelectedWritesNothing) {
    TempDir dir;
    SplitSettings settings;
    settings.widthValue[0] = 2;
    RecordingSource source;
    JobState job;
    SplitPlan plan = MakePlan(source, settings, job, dir.Path().string(), 6, 2, 1);
    SelectionMap selection;
    selection.Enter(plan.grid.columns, plan.grid.rows);
    plan.selection = &selection;
    RunTileWorker(plan, 0);
    EXPECT_TRUE(source.calls.empty());
    EXPECT_FALSE(job.Failed());
}

// A BMP source on disk, split as a job with several thread counts.
class SplitJobTest : public ::testing::Test {
  protected:
    void SetUp() override {
        BitmapInfoHeader h;
        h.biWidth = 97;
        h.biHeight = 61;
        h.biBitCount = 24;
        raster_ = DibImage::Create(h);
        for (size_t i = 0; i < raster_->ImageSize(); ++i)
            raster_->Bits()[i] = static_cast<uint8_t>(i * 31 + 7);
        source_ = dir_ / "pic.bmp";
        ASSERT_TRUE(SaveBmpFile(source_, *raster_));
        settings_.widthValue[0] = 20;
        settings_.heightValue[0] = 16;
        settings_.savePath = (dir_ / "out");
        fs::create_directory(settings_.savePath);
    }
    std::map<std::string, std::vector<uint8_t>> Tiles() const {
        std::map<std::string, std::vector<uint8_t>> tiles;
        for (auto& e : fs::directory_iterator(settings_.savePath))
            tiles[e.path().filename().string()] = testing::ReadBytes(e.path().string());
        return tiles;
    }
    SplitResult Split(const std::string& path) {
        BatchObserver quiet;
        SplitResult result;
        SplitFileAsJob(BatchItem{path, &settings_}, BatchOptions{}, quiet, result);
        return result;
    }
    TempDir dir_;
    std::unique_ptr<DibImage> raster_;
    std::string source_;
    SplitSettings settings_;
};

TEST_F(SplitJobTest, MoreWorkersThanTilesAndAnUnwritableDestination) {
    settings_.widthValue[0] = 0;
    settings_.heightValue[0] = 0;
    settings_.threadCount = 4;
    ASSERT_TRUE(Split(source_).ok);
    EXPECT_EQ(Tiles().size(), 1u);

    // The automatic sub-folder cannot be made where a file has its name, so
    // no tile can be created (this holds for root too).
    testing::WriteBytes((fs::path(settings_.savePath) / "Tessarin_out").string(), {'f'});
    settings_.makeFolder = 1;
    settings_.widthValue[0] = 10;
    EXPECT_EQ(Split(source_).message, msg::kSaveFailed);
}

TEST_F(SplitJobTest, LoaderMessagesForBadFiles) {
    testing::WriteBytes(dir_ / "junk.bmp", {'n', 'o', 'p', 'e'});
    EXPECT_EQ(Split(dir_ / "junk.bmp").message, msg::kInvalidFile);
    testing::WriteBytes(dir_ / "photo.txt", {'x'});
    EXPECT_EQ(Split(dir_ / "photo.txt").message, msg::kUnsupported);
    // A failed load keeps the previous image.
    CurrentImage image;
    JobState job;
    ASSERT_TRUE(LoadCurrentImage(source_, image, settings_, job));
    EXPECT_FALSE(LoadCurrentImage(dir_ / "junk.bmp", image, settings_, job));
    EXPECT_EQ(job.ErrorText(), msg::kInvalidFile);
    EXPECT_EQ(image.path, source_);
    EXPECT_EQ(image.width, 97);
}

// Sets the split memory budget for one scope.
struct ScopedBudget {
    explicit ScopedBudget(uint64_t bytes) { SetSplitMemoryBudget(bytes); }
    ~ScopedBudget() { SetSplitMemoryBudget(0); }
};

// Nothing shows the images in the command mode: each file is decoded only as
// far as its tiles need. Decoded data that would take a split over its memory
// budget fails with the format's message instead of being allocated.
TEST_F(SplitJobTest, CommandModeDecodesOnlyWhatTheTilesNeedWithinTheMemoryBudget) {
    ASSERT_TRUE(SaveJpegFile(dir_ / "pic.jpg", *raster_, 90));
    testing::WriteBytes(dir_ / "pic.gif", giftest::Encode(giftest::OneFrame(97, 61, 64)));
    const std::string suite = std::string(TESSARIN_TEST_DATA) + "/pngsuite/";
    fs::copy_file(suite + "basn2c08.png", dir_ / "pic.png");
    fs::copy_file(suite + "basn6a16.png", dir_ / "deep.png");  // 32 x 32, 16-bit RGBA

    class Loaded final : public BatchObserver {
      public:
        void FileLoaded(const CurrentImage& image, const SplitSettings&) override {
            raster = image.raster != nullptr;
        }
        bool raster = false;
    };
    struct Case {
        const char* file;
        int correctCut;
        int allBmp;
        bool raster;             // whether the load made one
        const char* overBudget;  // the message when the samples do not fit 1000 bytes
    };
    const Case cases[] = {
        {"pic.png", 1, 0, false, "読み込みの準備に失敗しました"},
        {"deep.png", 1, 0, false, "読み込みの準備に失敗しました"},
        {"pic.gif", 1, 0, false, msg::kReadFailed},
        {"pic.jpg", 0, 0, false, msg::kMemoryFailed},  // the coefficients
        {"pic.jpg", 1, 0, false, msg::kMemoryFailed},  // cut band by band
        {"pic.png", 1, 1, false, nullptr},             // cut band by band, as BMP tiles
        {"pic.bmp", 1, 0, false, nullptr},             // cut band by band
    };
    BatchOptions command;
    command.withoutViewer = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.allBmp ? " as BMP" : ""));
        settings_.formatOptions.Set("OPTION", "CORRECT_CUT", c.correctCut);
        settings_.allBmp = c.allBmp;
        Loaded loaded;
        SplitResult result;
        SplitFileAsJob(BatchItem{dir_ / c.file, &settings_}, command, loaded, result);
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_EQ(loaded.raster, c.raster);
        if (c.overBudget) {
            ScopedBudget budget(1000);
            SplitFileAsJob(BatchItem{dir_ / c.file, &settings_}, command, loaded, result);
            EXPECT_EQ(result.message, c.overBudget);
        }
    }
    // In the window the raster is shown, and the 16-bit samples the tiles
    // need are decoded beside it: 4096 bytes of raster, 8192 of samples and
    // 768 for libpng's rows.
    settings_.allBmp = 0;
    {
        ScopedBudget budget(4096 + 8192 + 768 - 1);
        EXPECT_EQ(Split(dir_ / "deep.png").message, "読み込みの準備に失敗しました");
    }
    ScopedBudget budget(4096 + 8192 + 768);
    const SplitResult deep = Split(dir_ / "deep.png");
    EXPECT_TRUE(deep.ok) << deep.message;
}

// A tile that cannot be put in place under its name (a folder has it) gives
// its format's own failure text.
TEST_F(SplitJobTest, TileThatCannotBeCreatedGivesItsFormatsMessage) {
    const std::string exact = "ファイルの保存に失敗しました";
    ASSERT_TRUE(SaveJpegFile(dir_ / "pic.jpg", *raster_, 90));
    fs::copy_file(std::string(TESSARIN_TEST_DATA) + "/pngsuite/basn2c08.png", dir_ / "pic.png");
    testing::WriteBytes(dir_ / "pic.gif", giftest::Encode(giftest::OneFrame(40, 30, 16)));
    struct Case {
        const char* source;
        int correctCut;
        const char* tile;
        const char* message;
    };
    for (Case c : {Case{"pic.bmp", 1, "pic_1_1.bmp", msg::kSaveFailed},
                   Case{"pic.jpg", 1, "pic_1_1.jpg", msg::kSaveFailed},
                   Case{"pic.jpg", 0, "pic_1_1.jpg", "jpegtranを使った分割処理に失敗しました"},
                   Case{"pic.png", 1, "pic_1_1.png", "ファイルの書き込みに失敗しました"},
                   Case{"pic.gif", 1, "pic_1_1.gif", msg::kSaveFailed}}) {
        SCOPED_TRACE(c.source + std::string(c.correctCut ? "" : " lossless"));
        fs::remove_all(settings_.savePath);
        fs::create_directories(fs::path(settings_.savePath) / c.tile);
        settings_.formatOptions.Set("OPTION", "CORRECT_CUT", c.correctCut);
        EXPECT_EQ(Split(dir_ / c.source).message, c.message);
        // Nothing but the folder in the way: no temporary file is left.
        EXPECT_EQ(testing::FileNames(settings_.savePath), (std::vector<std::string>{c.tile}));
    }
}

// What a killed run left behind goes at the next split into the folder; the
// files of a live process, and anything else, stay.
TEST_F(SplitJobTest, SplitRemovesTemporaryFilesOfDeadRuns) {
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ASSERT_GT(dead, 0);
    ::waitpid(dead, nullptr, 0);
    const fs::path out = settings_.savePath;
    const std::string deadName = ".tessarin-" + std::to_string(dead) + "-00112233aabbccdd.part";
    const std::string oldDeadName = ".tessarin-" + std::to_string(dead) + "-7.part";
    const std::string liveName =
        ".tessarin-" + std::to_string(::getpid()) + "-00112233aabbccdd.part";
    const std::vector<std::string> kept = {liveName, ".tessarin-" + std::to_string(dead) + "-7.tmp",
                                           "tessarin-" + std::to_string(dead) + "-7.part",
                                           "notes.part"};
    for (const std::string& name : kept) testing::WriteBytes((out / name).string(), {'k'});
    testing::WriteBytes((out / deadName).string(), {'d'});
    testing::WriteBytes((out / oldDeadName).string(), {'d'});
    // The live process holds its file locked, as a writer does; every file
    // is old enough to go if nobody held it.
    const int liveFd = ::open((out / liveName).c_str(), O_RDWR | O_CLOEXEC);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(liveFd, F_OFD_SETLK, &lock), 0);
    const timespec old[2] = {{::time(nullptr) - kStaleTemporaryFileSeconds - 60, 0},
                             {::time(nullptr) - kStaleTemporaryFileSeconds - 60, 0}};
    for (const fs::directory_entry& entry : fs::directory_iterator(out))
        ASSERT_EQ(::utimensat(AT_FDCWD, entry.path().c_str(), old, 0), 0);
    // A killed run's staging folder goes with the tiles in it; a live one
    // (its lock file held) stays, however old.
    const std::string deadStaging = ".tessarin-" + std::to_string(dead) + "-0123456789abcdef.part";
    fs::create_directory(out / deadStaging);
    testing::WriteBytes((out / deadStaging / "0").string(), {'t'});
    testing::WriteBytes((out / deadStaging / kStagingLockName).string(), {});
    StagingFolder live;
    ASSERT_TRUE(live.Open(settings_.savePath, false));
    for (const fs::directory_entry& entry : fs::directory_iterator(out))
        ASSERT_EQ(::utimensat(AT_FDCWD, entry.path().c_str(), old, 0), 0);
    const SplitResult result = Split(source_);
    ::close(liveFd);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_FALSE(fs::exists(out / deadName));
    EXPECT_FALSE(fs::exists(out / oldDeadName));
    EXPECT_FALSE(fs::exists(out / deadStaging));
    for (const std::string& name : kept) EXPECT_TRUE(fs::exists(out / name)) << name;
    size_t stagingFolders = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(out))
        stagingFolders += entry.is_directory();
    EXPECT_EQ(stagingFolders, 1u);
    live.Discard();
    EXPECT_EQ(Tiles().size(), 20u + kept.size());
}

// Nothing is written through a link: not through links planted under the
// names temporary files had before (pid and a counter), nor through links at
// a tile's or the manifest's name (replaced by the files themselves), nor
// into a link at the automatic sub-folder's name. An output folder above the
// root is no folder at all.
TEST_F(SplitJobTest, PlantedLinksAreNeverFollowed) {
    testing::WriteBytes(dir_ / "victim", {'v'});
    fs::create_directory(dir_ / "elsewhere");
    const fs::path out = settings_.savePath;
    for (int n = 0; n < 64; ++n)
        fs::create_symlink(dir_ / "victim", out / (".tessarin-" + std::to_string(::getpid()) + "-" +
                                                   std::to_string(n) + ".part"));
    fs::create_symlink(dir_ / "victim", out / "pic_1_1.bmp");
    fs::create_symlink(dir_ / "victim", out / "pic.bmp_tiles.json");
    settings_.threadCount = 2;
    BatchObserver quiet;
    SplitResult result;
    SplitFileAsJob(BatchItem{source_, &settings_, true}, BatchOptions{}, quiet, result);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(testing::ReadBytes(dir_ / "victim"), (std::vector<uint8_t>{'v'}));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out / "pic.bmp_tiles.json")));
    LoadedImage tile;
    ASSERT_TRUE(testing::LoadBmp((out / "pic_1_1.bmp").string(), tile));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out / "pic_1_1.bmp")));
    EXPECT_EQ(0, std::memcmp(tile.raster->Row(0), raster_->Row(0), 20 * 3));

    settings_.makeFolder = 1;
    settings_.uniqueFolder = 1;
    fs::create_symlink(dir_ / "elsewhere", out / "pic.bmp");
    EXPECT_EQ(Split(source_).message, msg::kOutputFolderIsLink);
    settings_.uniqueFolder = 0;
    fs::create_symlink(dir_ / "elsewhere", out / "Tessarin_out");
    EXPECT_EQ(Split(source_).message, msg::kOutputFolderIsLink);
    EXPECT_TRUE(fs::is_empty(dir_ / "elsewhere"));

    settings_.makeFolder = 0;
    settings_.relative = 1;
    settings_.dirLevel = 1000;
    EXPECT_EQ(Split(source_).message, msg::kNoOutputFolder);
}

}  // namespace
}  // namespace tessarin
