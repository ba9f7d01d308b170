// The split job and the batch runner: stop between files, progress per tile,
// jobs that share one raster, and the manifest.

#include "split/batch_runner.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <numeric>
#include <optional>
#include <regex>
#include <set>
#include <thread>

#include "imaging/bmp/bmp_format.h"
#include "imaging/gif/gif_test_files.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/png/png_test_support.h"
#include "platform/notifier.h"
#include "split/band_cut.h"
#include "split/image_loader.h"
#include "split/messages.h"
#include "split/path_list.h"
#include "support/test_files.h"
#include "support/whole_load.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::unique_ptr<DibImage> Pattern(int width, int height, size_t step = 13, size_t start = 5) {
    BitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = 24;
    auto raster = DibImage::Create(h);
    for (size_t i = 0; i < raster->ImageSize(); ++i)
        raster->Bits()[i] = static_cast<uint8_t>(i * step + start);
    return raster;
}

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = testing::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

size_t FilesIn(const std::string& folder) {
    size_t n = 0;
    for (auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) ++n;
    return n;
}

class Recorder : public BatchObserver {
  public:
    void FileFinished(size_t index, FileOutcome, const SplitResult& result,
                      const std::string& line) override {
        lines.push_back(line);
        written.push_back(result.tilesWritten);
        if (stopAfter && index + 1 == *stopAfter) stop.request_stop();
    }
    void TileFinished(int64_t done, int64_t total) override {
        std::lock_guard<std::mutex> lock(mutex);
        dones.push_back(done);
        totals.insert(total);
        if (stopAtTile && done == *stopAtTile) stop.request_stop();
        if (atTile.second && done == atTile.first) atTile.second();
    }
    std::vector<std::string> lines;
    std::vector<int64_t> written;
    std::optional<size_t> stopAfter;
    std::optional<int64_t> stopAtTile;
    std::pair<int64_t, std::function<void()>> atTile;  // done at that tile
    std::stop_source stop;
    std::mutex mutex;
    std::vector<int64_t> dones;
    std::set<int64_t> totals;
};

// A list of files, each split with its manifest (or without).
struct WithManifest : BatchSource {
    PathListSource files;
    bool manifest;
    WithManifest(std::vector<std::string> paths, SplitSettings& settings, bool withManifest = true)
        : files(std::move(paths), settings), manifest(withManifest) {}
    bool Next(BatchItem& item) override {
        if (!files.Next(item)) return false;
        item.writeManifest = manifest;
        return true;
    }
};

class BatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        out_ = dir_ / "out";
        fs::create_directory(out_);
        settings_.savePath = out_;
        settings_.widthValue[0] = 20;
        settings_.heightValue[0] = 16;
        settings_.offsetXValue[0] = 13;
        settings_.offsetYValue[0] = 7;
        raster_ = Pattern(97, 61);
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
            paths_.push_back(dir_ / name);
            ASSERT_TRUE(SaveBmpFile(paths_.back(), *raster_));
        }
    }
    TempDir dir_;
    std::string out_;
    SplitSettings settings_;
    std::unique_ptr<DibImage> raster_;
    std::vector<std::string> paths_;
};

TEST_F(BatchTest, AStopTakesEffectAfterTheFileInHand) {
    Recorder recorder;
    recorder.stopAfter = 1;
    PathListSource files(paths_, settings_);
    BatchResult result = RunBatch(files, BatchOptions{}, recorder, recorder.stop.get_token());
    ASSERT_EQ(recorder.lines, std::vector<std::string>{"○：" + paths_[0]});
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.lastOutputFolder, out_);
    // Only the first file's 6 x 5 tiles were written.
    EXPECT_EQ(FilesIn(out_), 30u);
}

// A reader's notice reaches the batch's owner once, after its file is read
// and before the image is handed on, whether or not a viewer shows it.
TEST_F(BatchTest, ReadersNoticesGoToTheOwnerBeforeTheImageIsShown) {
    testing::BmpLayout layout;  // bit fields 5-6-5, which the reader reduces to 5-5-5
    layout.width = 4;
    layout.height = 2;
    layout.bitCount = 16;
    layout.compression = 3;
    layout.pixels.assign(16, 0xFF);
    for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) testing::Le32(layout.extra, mask);
    const std::string reduced = dir_ / "565.bmp";
    testing::WriteBytes(reduced, testing::BuildBmp(layout));
    struct Events : Notifier, BatchObserver {
        void ShowError(const std::string& text) override { seen.push_back("error " + text); }
        void ShowNotice(const std::string& text) override { seen.push_back("notice " + text); }
        void FileLoaded(const CurrentImage& image, const SplitSettings&) override {
            seen.push_back("loaded " + image.path);
        }
        std::vector<std::string> seen;
    };
    for (const bool withoutViewer : {false, true}) {
        Events events;
        BatchOptions options;
        options.owner = &events;
        options.withoutViewer = withoutViewer;
        PathListSource files({reduced, paths_[0]}, settings_);
        RunBatch(files, options, events);
        EXPECT_EQ(events.seen,
                  (std::vector<std::string>{
                      "notice 緑の情報量を「6bit」から「5bit」に減らします\n\n" + reduced,
                      "loaded " + reduced, "loaded " + paths_[0]}))
            << withoutViewer;
    }
}

std::map<std::string, std::vector<uint8_t>> Contents(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> contents;
    for (auto& entry : fs::directory_iterator(folder))
        contents[entry.path().filename().string()] = entry.is_regular_file()
                                                         ? testing::ReadBytes(entry.path().string())
                                                         : std::vector<uint8_t>{'/'};
    return contents;
}

// Every tile of a file appears together, or none does: a stop between tiles,
// a source rewritten while it is cut, and a tile that cannot take its name
// leave the older tiles and the older manifest of the same names byte for
// byte, and nothing else behind. After a stop the batch goes no further.
TEST_F(BatchTest, AFileThatDoesNotSucceedLeavesNoNewTile) {
    SetMinBandRows(1);  // in the command mode, a band for each tile row
    enum class Fault { Stop, Rewrite, NameTaken };
    for (const Fault fault : {Fault::Stop, Fault::Rewrite, Fault::NameTaken})
        for (int run = 0; run < 4; ++run) {
            const int threads = run % 2 ? 3 : 1;
            BatchOptions options;
            options.withoutViewer = run >= 2;
            SCOPED_TRACE(std::to_string(static_cast<int>(fault)) + " " + std::to_string(threads) +
                         (options.withoutViewer ? " by bands" : ""));
            fs::remove_all(out_);
            fs::create_directory(out_);
            ASSERT_TRUE(SaveBmpFile(paths_[0], *raster_));
            testing::WriteBytes(out_ + "/a_1_1.bmp", {'o', 'l', 'd'});
            testing::WriteBytes(out_ + "/a.bmp_tiles.json", {'{', '}'});
            if (fault == Fault::NameTaken) fs::create_directory(out_ + "/a_5_6.bmp");
            const auto before = Contents(out_);
            settings_.threadCount = threads;
            Recorder recorder;
            if (fault == Fault::Stop) recorder.stopAtTile = 4;
            if (fault == Fault::Rewrite)
                recorder.atTile = {4,
                                   [this] { std::ofstream(paths_[0], std::ios::app) << "more"; }};
            WithManifest source(paths_, settings_);
            const BatchResult result =
                RunBatch(source, options, recorder, recorder.stop.get_token());
            const std::string expected =
                fault == Fault::Stop      ? "△：" + paths_[0] + "【分割処理中止】"
                : fault == Fault::Rewrite ? "×：" + paths_[0] + "【" + msg::kSourceChanged + "】"
                                          : "×：" + paths_[0] + "【" + msg::kSaveFailed + "】";
            ASSERT_FALSE(recorder.lines.empty());
            EXPECT_EQ(recorder.lines[0], expected);
            EXPECT_EQ(result.stopped, fault == Fault::Stop);
            EXPECT_EQ(recorder.written[0], 0);
            if (fault == Fault::Stop) {
                EXPECT_EQ(recorder.lines.size(), 1u);
                EXPECT_EQ(Contents(out_), before);
            } else {
                // The other files are whole, and only they changed the folder.
                EXPECT_EQ(recorder.lines.size(), 3u);
                auto after = Contents(out_);
                std::erase_if(after, [](const auto& e) { return e.first[0] != 'a'; });
                EXPECT_EQ(after, before);
            }
        }
    SetMinBandRows(0);
}

// In one run, a file whose tiles would take names that an earlier file of the
// run wrote fails and replaces nothing: two photos named p1 from two folders
// never mix their tiles. The same file given again takes its own names back.
// In a later run, the manifest left in the folder speaks for the earlier file.
TEST_F(BatchTest, SameNamedSourcesFromTwoFoldersNeverMix) {
    fs::create_directories(dir_ / "x/y");
    fs::create_directory(dir_ / "z");
    const std::string first = dir_ / "x/y/p1.bmp";
    const std::string second = dir_ / "z/p1.bmp";
    ASSERT_TRUE(SaveBmpFile(first, *raster_));
    ASSERT_TRUE(SaveBmpFile(second, *Pattern(50, 50, 7, 1)));
    const std::string again = dir_ / "x/../x/y/p1.bmp";
    for (const bool manifest : {false, true}) {
        SCOPED_TRACE(manifest);
        fs::remove_all(out_);
        fs::create_directory(out_);
        Recorder recorder;
        WithManifest files({first, second, again}, settings_, manifest);
        RunBatch(files, BatchOptions{}, recorder);
        const std::string taken = std::string("【") + msg::kTileNamesTaken + "：" + first + "】";
        EXPECT_EQ(recorder.lines,
                  (std::vector<std::string>{"○：" + first, "×：" + second + taken, "○：" + again}));
        const auto tiles = Contents(out_);
        EXPECT_EQ(tiles.size(), 30u + manifest);
        LoadedImage tile;
        ASSERT_TRUE(testing::LoadBmp(out_ + "/p1_1_1.bmp", tile));
        EXPECT_EQ(tile.raster->Width(), 13);

        if (!manifest) continue;
        Recorder later;
        WithManifest alone({second}, settings_, true);
        RunBatch(alone, BatchOptions{}, later);
        // The manifest names the file as the last split of it was given it.
        EXPECT_EQ(later.lines,
                  std::vector<std::string>{"×：" + second + "【" + msg::kTileNamesTaken + "：" +
                                           again + "】"});
        EXPECT_EQ(Contents(out_), tiles);
    }
}

// A folder split into itself with manifests gives its sources alone when it
// is listed again, however often: last run's tiles are not cut again.
TEST_F(BatchTest, AFolderThatHoldsItsOwnTilesGivesItsSourcesAlone) {
    settings_.relative = 1;
    settings_.dirLevel = 0;
    for (int run = 0; run < 3; ++run) {
        std::vector<std::string> sources = ListFolderImages(dir_.Path().string(), false);
        ASSERT_EQ(sources, paths_) << run;
        WithManifest source(std::move(sources), settings_);
        Recorder recorder;
        RunBatch(source, BatchOptions{}, recorder);
        EXPECT_EQ(recorder.lines.size(), 3u);
    }
    EXPECT_EQ(FilesIn(dir_.Path().string()), 3u + 3u * 31u);
}

// Two jobs with different settings cut the same raster one after another
// while another thread keeps reading it, as the viewer paints.
TEST_F(BatchTest, JobsShareTheRasterWithAReader) {
    CurrentImage image;
    JobState state;
    ASSERT_TRUE(LoadCurrentImage(paths_[0], image, settings_, state));
    std::atomic<bool> done{false};
    std::thread viewer([&] {
        const DibImage& raster = *image.raster;
        uint64_t sum = 0;
        while (!done.load())
            for (size_t i = 0; i < raster.ImageSize(); i += 64) sum += raster.Bits()[i];
        EXPECT_GT(sum, 0u);
    });
    for (int width : {20, 33}) {
        SplitJob job;
        job.image = image;
        job.settings = settings_;
        job.settings.widthValue[0] = width;
        job.settings.threadCount = 2;
        job.settings.savePath = dir_ / ("w" + std::to_string(width));
        fs::create_directory(job.settings.savePath);
        SplitResult result = RunSplitJob(job);
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.outputFolder, job.settings.savePath);
        EXPECT_EQ(static_cast<size_t>(result.tilesWritten), FilesIn(job.settings.savePath));
    }
    done = true;
    viewer.join();
    EXPECT_EQ(FilesIn(dir_ / "w20"), 30u);
    EXPECT_EQ(FilesIn(dir_ / "w33"), 5u * 4u);
}

// The manifest of a 97 x 61 grid with offsets lists every tile rectangle:
// together they cover the image exactly once, and each names its file.
TEST_F(BatchTest, ManifestTilesCoverTheImageExactlyOnce) {
    settings_.threadCount = 3;
    Recorder recorder;
    BatchItem item{paths_[0], &settings_, true};
    SplitResult result;
    SplitFileAsJob(item, BatchOptions{}, recorder, result);
    ASSERT_TRUE(result.ok) << result.message;
    const std::string text = ReadText(out_ + "/a.bmp_tiles.json");
    EXPECT_NE(text.find("\"width\": 97, \"height\": 61"), std::string::npos) << text;
    EXPECT_NE(text.find("\"format\": \"same\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"tileFormat\": {\"name\": \"BMP\", \"extension\": \".bmp\"}"),
              std::string::npos)
        << text;
    std::vector<int> cover(97 * 61, 0);
    const std::regex tile(
        R"re(\{"file": "([^"]+)", "column": (\d+), "row": (\d+), "x": (\d+), "y": (\d+), "width": (\d+), "height": (\d+), "lossless": false\})re");
    int tiles = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), tile);
         it != std::sregex_iterator(); ++it, ++tiles) {
        const std::smatch& m = *it;
        EXPECT_TRUE(fs::exists(out_ + "/" + m[1].str())) << m[1];
        const int x = std::stoi(m[4]), y = std::stoi(m[5]), w = std::stoi(m[6]),
                  h = std::stoi(m[7]);
        for (int yy = y; yy < y + h; ++yy)
            for (int xx = x; xx < x + w; ++xx) ++cover.at(static_cast<size_t>(yy * 97 + xx));
    }
    EXPECT_EQ(tiles, 30);
    EXPECT_EQ(std::count(cover.begin(), cover.end(), 1), 97 * 61);
}

// Two sources with one base name split into one folder keep a manifest each,
// named after the whole file name and describing that source only.
TEST_F(BatchTest, SourcesWithOneBaseNameKeepTheirOwnManifests) {
    ASSERT_TRUE(SaveJpegFile(dir_ / "a.jpg", *raster_, 90));
    fs::copy_file(pngtest::SuiteDir() + "/basn2c08.png", dir_ / "a.png");
    struct Case {
        std::string name, size, other;
    };
    const std::vector<Case> cases = {{"a.jpg", "\"width\": 97, \"height\": 61", ".png"},
                                     {"a.png", "\"width\": 32, \"height\": 32", ".jpg"}};
    for (const Case& c : cases) {
        Recorder recorder;
        SplitResult result;
        SplitFileAsJob(BatchItem{dir_ / c.name, &settings_, true}, BatchOptions{}, recorder,
                       result);
        ASSERT_TRUE(result.ok) << c.name << result.message;
    }
    for (const Case& c : cases) {
        const std::string text = ReadText(out_ + "/" + c.name + "_tiles.json");
        EXPECT_NE(text.find("\"path\": \"" + dir_ / c.name + "\", " + c.size), std::string::npos)
            << text;
        EXPECT_EQ(text.find(c.other), std::string::npos) << text;
    }
}

std::map<std::string, std::vector<uint8_t>> TilesIn(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> tiles;
    for (auto& entry : fs::directory_iterator(folder))
        tiles[entry.path().filename().string()] = testing::ReadBytes(entry.path().string());
    return tiles;
}

// Whatever the number of workers, in every format, a split writes the same
// tile bytes (PNG text chunks aside: they go into each worker's first tile;
// this PNG has none) and its progress sees every tile once, out of the right
// total.
TEST_F(BatchTest, TilesAndProgressAreTheSameAtAnyThreadCount) {
    ASSERT_TRUE(SaveJpegFile(dir_ / "d.jpg", *raster_, 90));
    fs::copy_file(pngtest::SuiteDir() + "/basn2c08.png", dir_ / "e.png");
    testing::WriteBytes(dir_ / "f.gif", giftest::Encode(giftest::OneFrame(45, 38, 256)));
    const auto grid = Pattern(97, 61, 31, 7);
    ASSERT_TRUE(SaveBmpFile(dir_ / "pic.bmp", *grid));

    // A tile of a BMP source whose pixels are checked against the source.
    struct Probe {
        const DibImage* source;
        const char* file;
        int x, y, width, height;
    };
    struct Case {
        std::string name;
        int offsetX, offsetY;  // the first column's width and row's height
        size_t tiles;
        std::optional<Probe> probe;
    };
    const std::vector<Case> cases = {
        {"a.bmp", 13, 7, 30, Probe{raster_.get(), "a_5_6.bmp", 93, 55, 4, 6}},
        {"pic.bmp", 0, 0, 20, Probe{grid.get(), "pic_4_5.bmp", 80, 48, 17, 13}},
        {"d.jpg", 13, 7, 30, std::nullopt},
        {"e.png", 13, 7, 6, std::nullopt},  // 32 x 32
        {"f.gif", 13, 7, 9, std::nullopt},  // 45 x 38
    };
    for (const Case& c : cases) {
        settings_.offsetXValue[0] = c.offsetX;
        settings_.offsetYValue[0] = c.offsetY;
        std::map<std::string, std::vector<uint8_t>> single;
        for (int run = 0; run < 10; ++run) {
            // The window's split of the raster, then the command mode's.
            const int threads = std::array{1, 2, 3, 7, 64}[static_cast<size_t>(run % 5)];
            BatchOptions options;
            options.withoutViewer = run >= 5;
            SCOPED_TRACE(c.name + ", " + std::to_string(threads) + " threads" +
                         (options.withoutViewer ? ", command mode" : ""));
            fs::remove_all(out_);
            fs::create_directory(out_);
            settings_.threadCount = threads;
            Recorder recorder;
            PathListSource files({dir_ / c.name}, settings_);
            RunBatch(files, options, recorder);
            ASSERT_EQ(recorder.lines, std::vector<std::string>{"○：" + (dir_ / c.name)});
            std::sort(recorder.dones.begin(), recorder.dones.end());
            std::vector<int64_t> every(c.tiles);
            std::iota(every.begin(), every.end(), 1);
            EXPECT_EQ(recorder.dones, every);
            EXPECT_EQ(recorder.totals, std::set<int64_t>{static_cast<int64_t>(c.tiles)});
            const auto tiles = TilesIn(out_);
            ASSERT_EQ(tiles.size(), c.tiles);
            if (run == 0)
                single = tiles;
            else
                EXPECT_EQ(tiles, single);
        }
        if (!c.probe) continue;
        // The tile holds its rectangle of the source.
        const Probe& p = *c.probe;
        LoadedImage tile;
        ASSERT_TRUE(testing::LoadBmp(out_ + "/" + p.file, tile)) << p.file;
        ASSERT_EQ(tile.raster->Width(), p.width);
        ASSERT_EQ(tile.raster->Height(), p.height);
        for (int row = 0; row < p.height; ++row)
            EXPECT_EQ(0, std::memcmp(tile.raster->Row(row), p.source->Row(p.y + row) + p.x * 3,
                                     static_cast<size_t>(p.width) * 3))
                << p.file << " row " << row;
    }
}

}  // namespace
}  // namespace tessarin
