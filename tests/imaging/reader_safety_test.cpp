// What every reader and every split-time read must survive: files that are
// not regular files, and running out of memory at any allocation.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "imaging/bmp/bmp_format.h"
#include "imaging/gif/gif_format.h"
#include "imaging/gif/gif_test_files.h"
#include "imaging/jpeg/jpeg_format.h"
#include "imaging/jpeg/jpeg_test_util.h"
#include "imaging/png/png_format.h"
#include "imaging/png/png_test_support.h"
#include "split/formats.h"
#include "split/image_loader.h"
#include "split/messages.h"
#include "support/failing_allocation.h"
#include "support/recording_notifier.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

// Runs `work` on a thread of its own and says whether it returned within a
// few seconds. A reader blocked in open() on a FIFO would never return, so
// the FIFO is then opened for writing until the thread is released.
bool ReturnsPromptly(const std::string& path, const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread runner([&] {
        work();
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
    const bool prompt = done;
    while (!done) {
        if (int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
        std::this_thread::sleep_for(5ms);
    }
    runner.join();
    return prompt;
}

// A FIFO or a device named like an image: the loader and the split-time read
// refuse it at once with the format's open or read message. (BMP and exact
// JPEG splits cut the loaded raster and read nothing again; a lossless JPEG
// split reads the file again, and says so with its own message.)
TEST(Readers, FifosAndDevicesAreRefusedWithoutWaiting) {
    TempDir dir;
    struct Case {
        const char* extension;
        const char* loadMessage;
        const char* splitMessage;  // null: the split does not read the file
    };
    const Case cases[] = {
        {".bmp", msg::kInvalidFile, nullptr},
        {".jpg", msg::kReadFailed, "jpegtranを使った分割処理に失敗しました"},
        {".png", msg::kReadFailed, msg::kReadFailed},
        {".gif", msg::kOpenFailed, msg::kOpenFailed},
        {".webp", msg::kOpenFailed, nullptr},
    };
    for (const Case& c : cases) {
        for (const bool fifo : {true, false}) {
            const std::string path = dir / ((fifo ? "fifo" : "zero") + std::string(c.extension));
            if (fifo)
                ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
            else
                ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0) << path;

            CurrentImage image;
            SplitSettings settings;
            JobState job;
            bool loaded = true;
            EXPECT_TRUE(ReturnsPromptly(path, [&] {
                loaded = LoadCurrentImage(path, image, settings, job);
            })) << path;
            EXPECT_FALSE(loaded) << path;
            EXPECT_EQ(job.ErrorText(), c.loadMessage) << path;

            if (!c.splitMessage) continue;
            CurrentImage shown;  // as if the file had been replaced after loading
            shown.path = path;
            shown.width = shown.height = 8;
            SplitSettings lossless;
            lossless.formatOptions.Set("OPTION", "CORRECT_CUT", 0);
            const ImageFormat* format = FindImageFormat(ClassifyImageFile(path));
            ASSERT_NE(format, nullptr);
            std::string error;
            std::unique_ptr<TileSource> source;
            EXPECT_TRUE(ReturnsPromptly(path, [&] {
                source = MakeTileSource(*format, shown, lossless, error);
            })) << path;
            EXPECT_EQ(source, nullptr) << path;
            EXPECT_EQ(error, c.splitMessage) << path;
        }
    }
}

// Every reader and tile-source preparation with C++ allocations failing at
// each place in turn, one alone or that one and every later one: nothing
// escapes, and a reader that fails while memory can still be had says why.
TEST(Readers, AllocationFailuresEndInAMessage) {
    TempDir dir;
    testing::BmpLayout pal8;
    pal8.width = pal8.height = 5;
    pal8.bitCount = 8;
    pal8.clrUsed = 3;
    pal8.palette = {0x102030, 0x405060, 0x708090};
    pal8.pixels.assign(40, 1);
    const std::vector<uint8_t> pal8Bytes = testing::BuildBmp(pal8);
    testing::WriteBytes(dir / "pal8.bmp", pal8Bytes);
    testing::BmpLayout bits565;
    bits565.width = 2;
    bits565.bitCount = 16;
    bits565.compression = 3;
    for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) testing::Le32(bits565.extra, mask);
    bits565.pixels.assign(4, 0xFF);
    testing::WriteBytes(dir / "565.bmp", testing::BuildBmp(bits565));
    testing::BmpLayout rle = pal8;
    rle.compression = 1;
    rle.pixels = {5, 1, 0, 0, 3, 2, 0, 0, 0, 1};
    testing::WriteBytes(dir / "rle.bmp", testing::BuildBmp(rle));

    using jpeg_test::MakeSamples;
    jpeg_test::WriteLibraryJpeg(dir / "rgb.jpg", MakeSamples(24, 16, 3, [](int x, int y, int c) {
                                    return static_cast<uint8_t>(x * 9 + y * 5 + c * 70);
                                }));
    jpeg_test::WriteCmykJpeg(dir / "cmyk.jpg", jpeg_test::PrintedColourInks(),
                             jpeg_test::CmykCoding::kAdobe);

    pngtest::PngLayout png;
    png.width = png.height = 6;
    png.rows = pngtest::RandomRows(6, 6, 24, 3);
    png.texts = {{PNG_TEXT_COMPRESSION_NONE, "Title", "tiles", false},
                 {PNG_TEXT_COMPRESSION_zTXt, "Comment", std::string(300, 'c'), true}};
    png.calibration = true;
    ASSERT_TRUE(pngtest::WritePng(dir / "text.png", png));

    giftest::Gif gif = giftest::OneFrame(7, 5, 4);
    gif.frames[0].graphicControls = {{0x01, 0x00, 0x00, 0x02}};
    testing::WriteBytes(dir / "t.gif", giftest::Encode(gif));
    testing::WriteBytes(dir / "i.gif", giftest::Encode(giftest::OneFrame(7, 9, 16, true)));

    const ImageFormat& webpFormat = *FindImageFormat(ImageFileKind::Webp);
    const std::string webpPath = dir / "s.webp";
    testing::WriteBytes(webpPath, {webpFormat.sample.begin(), webpFormat.sample.end()});
    CurrentImage webpShown;
    {
        LoadedImage loaded;
        ASSERT_TRUE(LoadWholeImage(webpFormat, SourceFile::Open(webpPath), loaded, nullptr));
        SetCurrentImage(webpShown, std::move(loaded), webpPath);
    }
    CurrentImage shown;
    {
        LoadedImage loaded;
        ASSERT_TRUE(jpeg_test::LoadJpeg(dir / "rgb.jpg", loaded));
        SetCurrentImage(shown, std::move(loaded), dir / "rgb.jpg");
    }
    auto sourceOf = [&](const std::string& path, int width, int height) {
        CurrentImage image;
        image.path = path;
        image.width = width;
        image.height = height;
        return image;
    };
    const CurrentImage pngImage = sourceOf(dir / "text.png", 6, 6);
    CurrentImage pngShown;
    {
        LoadedImage loaded;
        ASSERT_TRUE(pngtest::LoadPngWhole(dir / "text.png", loaded));
        SetCurrentImage(pngShown, std::move(loaded), dir / "text.png");
    }
    const CurrentImage gifImage = sourceOf(dir / "t.gif", 7, 5);
    JpegTileOptions exact, lossless;
    exact.exact = true;
    lossless.exact = false;
    const std::string pal8Path = dir / "pal8.bmp", bits565Path = dir / "565.bmp",
                      rlePath = dir / "rle.bmp", rgbPath = dir / "rgb.jpg",
                      cmykPath = dir / "cmyk.jpg", pngPath = dir / "text.png",
                      gifPath = dir / "t.gif", interlacedGifPath = dir / "i.gif";

    // Each call keeps its message in `error` without copying it: the whole
    // load the registry makes of a format's reader.
    auto whole = [](ImageFileKind kind, const std::string& path) {
        return [kind, &path](std::string& error) {
            LoadedImage out;
            const bool ok =
                LoadWholeImage(*FindImageFormat(kind), SourceFile::Open(path), out, nullptr);
            error.swap(out.error);
            return ok;
        };
    };
    // The same for a file opened beforehand, as the loader opens it.
    const ImageFormat& jpegFormat = *FindImageFormat(ImageFileKind::Jpeg);
    const SourceFilePtr rgbFile = SourceFile::Open(rgbPath), cmykFile = SourceFile::Open(cmykPath);
    auto loadWhole = [&jpegFormat](const SourceFilePtr& file) {
        return [&jpegFormat, &file](std::string& error) {
            LoadedImage out;
            const bool ok = LoadWholeImage(jpegFormat, file, out, nullptr);
            error.swap(out.error);
            return ok;
        };
    };
    auto loadHeader = [](const SourceFilePtr& file) {
        return [&file](std::string& error) {
            LoadedImage out;
            const bool ok = LoadJpegHeader(file, out);
            error.swap(out.error);
            return ok;
        };
    };
    struct Probe {
        const char* name;
        bool saysWhy;  // the BMP readers have no messages of their own
        std::function<bool(std::string&)> run;
    };
    const Probe probes[] = {
        {"bmp general", false, whole(ImageFileKind::Bmp, pal8Path)},
        {"bmp 5-6-5 with notice", false, whole(ImageFileKind::Bmp, bits565Path)},
        {"bmp rle", false, whole(ImageFileKind::Bmp, rlePath)},
        {"jpeg", true, loadWhole(rgbFile)},
        {"jpeg cmyk", true, loadWhole(cmykFile)},
        {"png", true, whole(ImageFileKind::Png, pngPath)},
        {"gif", true, whole(ImageFileKind::Gif, gifPath)},
        {"gif interlaced", true, whole(ImageFileKind::Gif, interlacedGifPath)},
        {"jpeg header", true, loadHeader(rgbFile)},
        {"bmp tiles", true, [&](std::string& e) { return MakeBmpTileSource(shown, e) != nullptr; }},
        {"jpeg exact tiles", true,
         [&](std::string& e) { return MakeJpegTileSource(shown, exact, e) != nullptr; }},
        {"jpeg lossless tiles", true,
         [&](std::string& e) { return MakeJpegTileSource(shown, lossless, e) != nullptr; }},
        {"png tiles", true,
         [&](std::string& e) { return MakePngTileSource(pngImage, e) != nullptr; }},
        {"png tiles from the raster", true,
         [&](std::string& e) { return MakePngTileSource(pngShown, e) != nullptr; }},
        {"gif tiles", true,
         [&](std::string& e) { return MakeGifTileSource(gifImage, e) != nullptr; }},
        {"webp", true, whole(ImageFileKind::Webp, webpPath)},
        {"webp tiles", true,
         [&](std::string& e) {
             return webpFormat.makeSource(webpShown, ViewSettings(1), e) != nullptr;
         }},
    };
    for (const Probe& probe : probes) {
        std::string error;
        ASSERT_TRUE(probe.run(error)) << probe.name << ": " << error;
        for (const bool exhausted : {false, true}) {
            for (long index = 0;; ++index) {
                ASSERT_LT(index, 10000) << probe.name;
                bool ok = false, escaped = false, reached = false;
                error = std::string();
                {
                    testing::FailingAllocation failing(index, exhausted);
                    try {
                        ok = probe.run(error);
                    } catch (...) {
                        escaped = true;
                    }
                    reached = failing.Reached();
                }
                EXPECT_FALSE(escaped) << probe.name << " allocation " << index;
                if (!ok && !exhausted && probe.saysWhy) {
                    EXPECT_FALSE(error.empty()) << probe.name << " allocation " << index;
                }
                if (!reached) break;
            }
        }
    }
}

}  // namespace
}  // namespace tessarin
