// WebP sources cut through the real split, whole and band by band, and each
// tile decoded by libwebp against the source's own decode: lossless tiles
// hold the very pixels (alpha and the colours under it), lossy ones the
// picture within a PSNR bound, every tile the profile; what cannot be cut
// fails with its message and writes nothing.

#include <gtest/gtest.h>
#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "imaging/messages.h"
#include "imaging/webp/webp_format.h"
#include "split/band_cut.h"
#include "split/image_loader.h"
#include "split/naming.h"
#include "split/split_job.h"
#include "support/split_file.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// RGBA pixels of a picture with texture, edges and, when `alpha`, every
// alpha from clear (with colour under it) to opaque.
Bytes Pattern(int width, int height, bool alpha) {
    Bytes rgba;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = (x * 7 + y * 13) % 256;
            rgba.insert(
                rgba.end(),
                {static_cast<uint8_t>(x * 255 / width), static_cast<uint8_t>(y * 255 / height),
                 static_cast<uint8_t>(v), static_cast<uint8_t>(alpha ? (x * 37 + y) % 256 : 255)});
        }
    return rgba;
}

Bytes Encode(int width, int height, bool alpha, bool lossless, const Bytes& profile) {
    const Bytes rgba = Pattern(width, height, alpha);
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = lossless;
    config.exact = 1;
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.width = width;
    picture.height = height;
    picture.use_argb = lossless;
    WebPPictureImportRGBA(&picture, rgba.data(), width * 4);
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    EXPECT_TRUE(WebPEncode(&config, &picture));
    Bytes file(writer.mem, writer.mem + writer.size);
    WebPPictureFree(&picture);
    WebPMemoryWriterClear(&writer);
    if (profile.empty()) return file;
    WebPMux* mux = WebPMuxNew();
    const WebPData image = {file.data(), file.size()}, icc = {profile.data(), profile.size()};
    WebPData out;
    EXPECT_EQ(WebPMuxSetImage(mux, &image, 1), WEBP_MUX_OK);
    EXPECT_EQ(WebPMuxSetChunk(mux, "ICCP", &icc, 1), WEBP_MUX_OK);
    EXPECT_EQ(WebPMuxAssemble(mux, &out), WEBP_MUX_OK);
    file.assign(out.bytes, out.bytes + out.size);
    WebPDataClear(&out);
    WebPMuxDelete(mux);
    return file;
}

struct Decoded {
    int width = 0, height = 0;
    Bytes rgba;
    bool lossless = false;
    Bytes profile;
};

Decoded Decode(const Bytes& file) {
    Decoded d;
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(file.data(), file.size(), &features) != VP8_STATUS_OK) return d;
    d.lossless = features.format == 2;
    uint8_t* rgba = WebPDecodeRGBA(file.data(), file.size(), &d.width, &d.height);
    if (rgba) d.rgba.assign(rgba, rgba + size_t(d.width) * size_t(d.height) * 4);
    WebPFree(rgba);
    const WebPData data = {file.data(), file.size()};
    if (WebPDemuxer* demux = WebPDemux(&data)) {
        WebPChunkIterator chunk;
        if (WebPDemuxGetChunk(demux, "ICCP", 1, &chunk))
            d.profile.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
        WebPDemuxDelete(demux);
    }
    return d;
}

SplitResult Cut(const std::string& path, int tileWidth, int tileHeight, const std::string& format,
                bool banded, const std::string& folder) {
    SplitSettings settings;
    settings.tileFormat = format;
    settings.widthValue[0] = tileWidth;
    settings.heightValue[0] = tileHeight;
    settings.threadCount = 3;
    settings.formatOptions.Set("JPEG", "QUALITY", 90);
    return testing::CutFile(path, settings, banded, folder);
}

class WebpTiles : public ::testing::Test {
  protected:
    void SetUp() override { SetMinBandRows(1); }
    void TearDown() override { SetMinBandRows(0); }
    testing::TempDir dir_;
};

TEST_F(WebpTiles, EachTileDecodesToItsRectangleOfTheSourceWholeOrBanded) {
    const Bytes profile = {'p', 'r', 'o', 'f', 'i', 'l', 'e', 0, 1, 2, 3, 250};
    // A 24-bit BMP of the pattern, for WebP tiles of another format.
    testing::BmpLayout bmp;
    bmp.width = 45;
    bmp.height = -37;
    for (int y = 0; y < 37; ++y) {
        const Bytes rgba = Pattern(45, 37, false);
        for (int x = 0; x < 45; ++x)
            for (int c : {2, 1, 0}) bmp.pixels.push_back(rgba[size_t(y * 45 + x) * 4 + size_t(c)]);
        bmp.pixels.resize(bmp.pixels.size() + 1);  // rows padded to 4 bytes
    }
    struct Case {
        const char* name;
        Bytes file;
        bool lossless;  // the tiles, and how exact they must be
        Bytes profile;
    };
    const Case cases[] = {
        {"lossless", Encode(45, 37, false, true, {}), true, {}},
        {"lossless-alpha", Encode(45, 37, true, true, {}), true, {}},
        {"lossy", Encode(45, 37, false, false, {}), false, {}},
        {"lossy-alpha", Encode(45, 37, true, false, {}), false, {}},
        {"lossless-profile", Encode(45, 37, true, true, profile), true, profile},
        {"lossy-profile", Encode(45, 37, false, false, profile), false, profile},
        {"bmp", testing::BuildBmp(bmp), true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool fromBmp = std::string(c.name) == "bmp";
        const std::string source = dir_ / (std::string(c.name) + (fromBmp ? ".bmp" : ".webp"));
        testing::WriteBytes(source, c.file);
        const Decoded original =
            fromBmp ? Decoded{45, 37, Pattern(45, 37, false), true, {}} : Decode(c.file);
        ASSERT_EQ(original.width, 45);
        const std::string format = fromBmp ? "webp" : "";
        const std::string whole = dir_ / (std::string(c.name) + "-whole");
        const std::string banded = dir_ / (std::string(c.name) + "-bands");
        const SplitResult fromWhole = Cut(source, 16, 12, format, false, whole);
        ASSERT_TRUE(fromWhole.ok) << fromWhole.message;
        const SplitResult fromBands = Cut(source, 16, 12, format, true, banded);
        ASSERT_TRUE(fromBands.ok) << fromBands.message;
        const auto tiles = testing::ReadFolder(whole);
        EXPECT_EQ(testing::ReadFolder(banded), tiles);
        ASSERT_EQ(tiles.size(), 12u);

        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 3; ++column) {
                const std::string name =
                    BuildTileFileName(whole, c.name, ".webp", column, row, 3, 4, SplitSettings());
                SCOPED_TRACE(name);
                const Decoded tile = Decode(testing::ReadBytes(name));
                EXPECT_EQ(tile.lossless, c.lossless);
                EXPECT_EQ(tile.profile, c.profile);
                ASSERT_EQ(tile.width, std::min(16, 45 - column * 16));
                ASSERT_EQ(tile.height, std::min(12, 37 - row * 12));
                double squares = 0;
                for (int y = 0; y < tile.height; ++y)
                    for (int i = 0; i < tile.width * 4; ++i) {
                        const int want =
                            original
                                .rgba[size_t((row * 12 + y) * 45 + column * 16) * 4 + size_t(i)];
                        const int got = tile.rgba[size_t(y * tile.width * 4 + i)];
                        if (c.lossless || i % 4 == 3) {
                            ASSERT_EQ(got, want) << i % 4 << " of " << i / 4 << "," << y;
                        }
                        squares += (got - want) * (got - want);
                    }
                const double mse = squares / (tile.width * tile.height * 4);
                EXPECT_GT(mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99, 28.0);
            }
    }
}

// A failure leaves the output folder empty and gives its message.
TEST_F(WebpTiles, WhatCannotBeCutFailsWithItsMessageAndWritesNothing) {
    const auto wideBmp = [](int width, int height) {
        testing::BmpLayout bmp;
        bmp.width = width;
        bmp.height = height;
        bmp.pixels.assign(DibStride(width, 24) * size_t(height), 0x5A);
        return testing::BuildBmp(bmp);
    };
    const Bytes lossy = Encode(300, 200, false, false, {});
    Bytes animated;
    {
        WebPAnimEncoderOptions options;
        WebPAnimEncoderOptionsInit(&options);
        WebPAnimEncoder* encoder = WebPAnimEncoderNew(8, 8, &options);
        for (int frame = 0; frame < 2; ++frame) {
            const Bytes rgba = Pattern(8, 8, frame == 1);
            WebPPicture picture;
            WebPPictureInit(&picture);
            picture.width = picture.height = 8;
            picture.use_argb = 1;
            WebPPictureImportRGBA(&picture, rgba.data(), 32);
            WebPAnimEncoderAdd(encoder, &picture, frame * 100, nullptr);
            WebPPictureFree(&picture);
        }
        WebPAnimEncoderAdd(encoder, nullptr, 200, nullptr);
        WebPData data;
        WebPDataInit(&data);
        ASSERT_TRUE(WebPAnimEncoderAssemble(encoder, &data));
        animated.assign(data.bytes, data.bytes + data.size);
        WebPDataClear(&data);
        WebPAnimEncoderDelete(encoder);
    }
    struct Case {
        const char* name;
        Bytes file;
        int tileWidth, tileHeight;
        std::string message;
    };
    const Case cases[] = {
        {"wide.bmp", wideBmp(16384, 2), 16384, 1, webp::kTileTooLarge},
        {"tall.bmp", wideBmp(2, 16384), 1, 16384, webp::kTileTooLarge},
        {"cut.webp", Bytes(lossy.begin(), lossy.begin() + long(lossy.size() * 2 / 3)), 100, 50,
         msg::kReadFailed},
        {"animated.webp", animated, 4, 4, webp::kAnimated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = dir_ / c.name;
        testing::WriteBytes(source, c.file);
        for (const bool banded : {false, true}) {
            const std::string folder = dir_ / (std::string(c.name) + (banded ? "-b" : "-w"));
            const SplitResult result =
                Cut(source, c.tileWidth, c.tileHeight, "webp", banded, folder);
            EXPECT_FALSE(result.ok);
            EXPECT_EQ(result.message, c.message);
            EXPECT_TRUE(fs::is_empty(folder));
        }
    }
    // The window shows a cut file as far as its data goes, and tells.
    testing::WriteBytes(dir_ / "cut.webp", cases[2].file);
    CurrentImage shown;
    std::string error;
    std::vector<std::string> notices;
    ASSERT_TRUE(LoadImageFile(dir_ / "cut.webp", shown, error, notices)) << error;
    EXPECT_EQ(shown.damage, msg::kReadFailed);
    const Decoded original = Decode(lossy);
    const uint8_t* top = shown.raster->Row(0);
    for (int x = 0; x < 300; ++x) ASSERT_EQ(top[x * 3], original.rgba[size_t(x) * 4 + 2]) << x;
    const uint8_t* bottom = shown.raster->Row(199);
    for (int x = 0; x < 300 * 3; ++x) ASSERT_EQ(bottom[x], 0) << x;
}

}  // namespace
}  // namespace tessarin
