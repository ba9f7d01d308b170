#include "split/view_loader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "imaging/gif/gif_test_files.h"
#include "imaging/memory_budget.h"
#include "split/band_sources.h"
#include "split/image_loader.h"
#include "split/split_job.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

// The average colour of each factor x factor block of `raster`, as the
// reduced picture should hold it (blue, green, red).
std::vector<uint8_t> BoxAverage(const DibImage& raster, int factor) {
    const int w = raster.Width(), h = raster.AbsHeight();
    const int rw = (w + factor - 1) / factor, rh = (h + factor - 1) / factor;
    std::vector<uint64_t> sums(size_t{3} * static_cast<size_t>(rw * rh));
    std::vector<uint64_t> counts(static_cast<size_t>(rw * rh));
    uint32_t palette[256];
    RasterPalette(raster, palette);
    std::vector<uint32_t> row(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        RasterRowColours(raster, palette, y, 0, w, row.data());
        for (int x = 0; x < w; ++x) {
            const size_t at = static_cast<size_t>(y / factor * rw + x / factor);
            const uint32_t c = row[static_cast<size_t>(x)];
            sums[3 * at] += c & 0xFF;
            sums[3 * at + 1] += (c >> 8) & 0xFF;
            sums[3 * at + 2] += (c >> 16) & 0xFF;
            ++counts[at];
        }
    }
    std::vector<uint8_t> out(sums.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<uint8_t>((sums[i] + counts[i / 3] / 2) / counts[i / 3]);
    return out;
}

std::vector<uint8_t> PictureBytes(const ReducedPicture& p) {
    std::vector<uint8_t> bytes;
    for (int y = 0; y < p.Height(); ++y)
        bytes.insert(bytes.end(), p.Row(y), p.Row(y) + 3 * static_cast<size_t>(p.Width()));
    return bytes;
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double total = 0;
    for (size_t i = 0; i < a.size(); ++i) total += std::abs(int{a[i]} - int{b[i]});
    return total / static_cast<double>(a.size());
}

class ScopedBudget {
  public:
    explicit ScopedBudget(uint64_t bytes) { SetSplitMemoryBudget(bytes); }
    ~ScopedBudget() { SetSplitMemoryBudget(0); }
};

struct Recorder final : ViewLoadObserver {
    void Reduced(const CurrentImage& image, std::shared_ptr<ReducedPicture> p, bool done) override {
        reduced.push_back({image, std::move(p), done});
    }
    void RowsFilled() override { ++fills; }
    bool StopRequested() const override { return stop; }
    struct Call {
        CurrentImage image;
        std::shared_ptr<ReducedPicture> picture;
        bool complete;
    };
    std::vector<Call> reduced;
    int fills = 0;
    bool stop = false;
};

class ViewLoaderTest : public ::testing::Test {
  protected:
    // A budget that holds a progressive JPEG file's coefficients and the
    // reduced picture, but not the image's raster at 32 bits and its levels.
    static uint64_t ReducingBudget(int width, int height) {
        return static_cast<uint64_t>(std::max(width, 1)) *
               static_cast<uint64_t>(std::max(height, 1)) * 5;
    }
    testing::TempDir dir_;
};

// The oracle for images too large to hold: with a budget that cannot hold
// the raster, every file its format reads band by band opens as the box
// average of its whole raster halved (the library's scaled decode of a JPEG
// file is near it), with the image's own size and facts, damage included,
// and the same outcome and message as the whole load; the rest load whole.
TEST_F(ViewLoaderTest, ImagesBeyondTheBudgetOpenAsTheirRastersReduction) {
    int reduced = 0;
    for (const band_sources::Source& source : band_sources::Sources()) {
        SCOPED_TRACE(source.name);
        const std::string path = dir_ / source.name;
        source.write(path);
        CurrentImage whole;
        std::string wholeError, error;
        std::vector<std::string> notices, wholeNotices;
        const bool wholeOk = LoadImageFile(path, whole, wholeError, wholeNotices);
        ScopedBudget budget(ReducingBudget(whole.width, whole.height));
        ViewLoad view;
        Recorder recorder;
        const bool ok = LoadImageForView(path, view, error, notices, &recorder);
        EXPECT_EQ(ok, wholeOk);
        EXPECT_EQ(error, wholeError);
        EXPECT_EQ(notices, wholeNotices);
        if (!ok || !wholeOk) continue;
        EXPECT_EQ(view.image.width, whole.width);
        EXPECT_EQ(view.image.height, whole.height);
        EXPECT_EQ(view.image.displayDepth, whole.displayDepth);
        EXPECT_EQ(view.image.colorKind, whole.colorKind);
        EXPECT_EQ(view.image.blockWidth, whole.blockWidth);
        EXPECT_EQ(view.image.blockHeight, whole.blockHeight);
        EXPECT_EQ(view.image.damage, whole.damage);
        if (!view.picture) {
            EXPECT_TRUE(view.image.raster);
            continue;
        }
        ++reduced;
        EXPECT_FALSE(view.image.raster);
        EXPECT_EQ(view.image.viewReduction, 2);
        ASSERT_EQ(recorder.reduced.size(), 1u);
        EXPECT_FALSE(recorder.reduced[0].complete);
        EXPECT_EQ(recorder.reduced[0].picture, view.picture);
        EXPECT_EQ(view.picture->RowsDone(), view.picture->Height());
        const std::vector<uint8_t> expected = BoxAverage(*whole.raster, 2);
        const std::vector<uint8_t> got = PictureBytes(*view.picture);
        ASSERT_EQ(got.size(), expected.size());
        if (fs::path(path).extension() == ".jpg")
            EXPECT_LT(MeanDifference(got, expected), 6.0);
        else
            EXPECT_TRUE(got == expected);
    }
    EXPECT_GE(reduced, 30);
}

// A split of an image on view only reduced reads its file again and writes
// the tiles a split that shows nothing writes; an image held whole is left
// as it is.
TEST_F(ViewLoaderTest, SplitsOfReducedImagesAreTheCommandModesSplits) {
    for (const char* name : {"progressive.jpg", "chunked.png", "palette.bmp", "frame.gif"}) {
        SCOPED_TRACE(name);
        const std::string path = dir_ / name;
        for (const band_sources::Source& source : band_sources::Sources())
            if (std::string(source.name) == name) source.write(path);
        SplitSettings settings;
        settings.widthValue[0] = 16;
        settings.heightValue[0] = 12;
        settings.formatOptions.Set("OPTION", "CORRECT_CUT", true);
        std::map<std::string, std::map<std::string, std::string>> tiles;
        for (const bool reduced : {false, true}) {
            const std::string folder = dir_ / (std::string(name) + (reduced ? ".r" : ".c"));
            fs::create_directories(folder);
            SplitJob job;
            job.settings = settings;
            job.settings.savePath = folder;
            std::string error;
            std::vector<std::string> notices;
            if (reduced) {
                CurrentImage whole;
                ASSERT_TRUE(LoadImageFile(path, whole, error, notices));
                ScopedBudget budget(ReducingBudget(whole.width, whole.height));
                ViewLoad view;
                ASSERT_TRUE(LoadImageForView(path, view, error, notices, nullptr)) << error;
                ASSERT_GT(view.image.viewReduction, 0);
                job.image = view.image;
            } else {
                ASSERT_TRUE(LoadImageForTiles(path, settings, job.image, error, notices));
            }
            ASSERT_TRUE(ReopenForTiles(job.image, job.settings, error)) << error;
            const SplitResult result = RunSplitJob(job);
            ASSERT_TRUE(result.ok) << result.message;
            for (const auto& e : fs::directory_iterator(folder))
                tiles[folder.substr(folder.size() - 1)][e.path().filename().string()] =
                    testing::ReadBytes(e.path().string()).size() > 0
                        ? std::string(reinterpret_cast<const char*>(
                                          testing::ReadBytes(e.path().string()).data()),
                                      testing::ReadBytes(e.path().string()).size())
                        : std::string();
        }
        EXPECT_FALSE(tiles["c"].empty());
        EXPECT_TRUE(tiles["r"] == tiles["c"]);
    }
}

// A large JPEG file shows its picture at 1/8 before the whole raster is
// loaded, near the raster's own average; a stop request ends the load of a
// reduced image between bands, with no message.
TEST_F(ViewLoaderTest, LargeJpegFilesShowAReducedPictureFirst) {
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const std::string path = dir_ / (progressive ? "p.jpg" : "b.jpg");
        // A photo's smooth shapes: the first scans hold the colours of
        // 16 x 16 blocks only, which fine detail would make differ.
        const jpeg_test::Samples photo =
            jpeg_test::MakeSamples(2600, 1560, 3, [](int x, int y, int c) {
                return static_cast<uint8_t>(128 + 90 * std::sin(x / 97.0 + c) * std::cos(y / 61.0));
            });
        jpeg_test::WriteSamples(path, photo, {.progressive = progressive}, 85);
        Recorder recorder;
        ViewLoad view;
        std::string error;
        std::vector<std::string> notices;
        ASSERT_TRUE(LoadImageForView(path, view, error, notices, &recorder)) << error;
        ASSERT_TRUE(view.image.raster);
        EXPECT_FALSE(view.picture);
        ASSERT_EQ(recorder.reduced.size(), 1u);
        const Recorder::Call& first = recorder.reduced[0];
        EXPECT_TRUE(first.complete);
        EXPECT_EQ(first.image.width, 2600);
        EXPECT_FALSE(first.image.raster);
        ASSERT_EQ(first.picture->Factor(), 8);
        EXPECT_EQ(first.picture->Width(), 325);
        EXPECT_EQ(first.picture->Height(), 195);
        EXPECT_LT(MeanDifference(PictureBytes(*first.picture), BoxAverage(*view.image.raster, 8)),
                  4.0);

        ScopedBudget budget(ReducingBudget(2600, 1560));
        Recorder stopping;
        stopping.stop = true;
        ViewLoad stopped;
        EXPECT_FALSE(LoadImageForView(path, stopped, error, notices, &stopping));
        EXPECT_EQ(error, "");
        EXPECT_EQ(stopping.reduced.size(), 1u);
        EXPECT_EQ(stopping.fills, 0);
    }
}

// A few bytes that claim a huge picture and break at once: the window shows
// what the file holds, the damage named, and the picture ends where the data
// did; the rows the file only claims are not decoded (65,535 x 65,535 of
// them took the reduction 20 s and more).
TEST_F(ViewLoaderTest, ADamagedFilesPictureEndsWhereItsDataDoes) {
    giftest::Gif gif = giftest::OneFrame(8, 8, 4);
    std::vector<uint8_t> bytes = giftest::Encode(gif);
    const size_t descriptor = giftest::FindFirstDescriptor(bytes).start;
    for (const size_t field : {size_t{6}, size_t{7}, size_t{8}, size_t{9}, descriptor + 5,
                               descriptor + 6, descriptor + 7, descriptor + 8})
        bytes[field] = 0xFF;
    const std::string path = dir_ / "claims.gif";
    testing::WriteBytes(path, bytes);
    ViewLoad view;
    std::string error;
    std::vector<std::string> notices;
    ASSERT_TRUE(LoadImageForView(path, view, error, notices, nullptr)) << error;
    EXPECT_EQ(view.image.width, 65535);
    EXPECT_FALSE(view.image.damage.empty());
    ASSERT_TRUE(view.picture);
    EXPECT_LT(view.picture->RowsDone(), view.picture->Height() / 16);
}

}  // namespace
}  // namespace tessarin
