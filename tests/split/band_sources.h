#pragma once
// Test files of every format, depth, palette, row order, interlacing and
// damage, for the tests that compare what is read band by band with what
// is read whole.

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "imaging/gif/gif_test_files.h"
#include "imaging/jpeg/jpeg_test_util.h"
#include "imaging/png/png_test_support.h"
#include "support/test_files.h"

namespace tessarin {
namespace band_sources {

namespace fs = std::filesystem;

// Bytes of a pattern that differs from row to row and column to column.
inline std::vector<uint8_t> Pattern(size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((i * 37 + i / 7 + seed) % 251);
    return bytes;
}

inline testing::BmpLayout Bmp(int width, int height, int bitCount, uint32_t colours = 0) {
    testing::BmpLayout b;
    b.width = width;
    b.height = height;
    b.bitCount = static_cast<uint16_t>(bitCount);
    b.clrUsed = colours;
    const uint32_t entries = bitCount > 8 ? 0 : colours ? colours : 1u << bitCount;
    for (uint32_t i = 0; i < entries; ++i) b.palette.push_back(i * 0x010203u + 0x102030u);
    const size_t stride =
        (static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32 * 4;
    b.pixels = Pattern(stride * static_cast<size_t>(height < 0 ? -height : height),
                       static_cast<unsigned>(bitCount));
    return b;
}

inline testing::BmpLayout Masked(int bitCount, uint32_t compression, std::vector<uint32_t> masks) {
    testing::BmpLayout b = Bmp(53, 41, bitCount);
    b.compression = compression;
    for (uint32_t m : masks) testing::Le32(b.extra, m);
    return b;
}

using Writer = std::function<void(const std::string&)>;

struct Source {
    const char* name;
    Writer write;
};

// `write`, then `edit` on the bytes written.
inline Writer Edited(Writer write, std::function<void(std::vector<uint8_t>&)> edit) {
    return [write, edit](const std::string& path) {
        write(path);
        std::vector<uint8_t> bytes = testing::ReadBytes(path);
        edit(bytes);
        testing::WriteBytes(path, bytes);
    };
}

// A BMP file whose pixel data offset field says `offset`.
inline Writer BmpWithOffset(testing::BmpLayout layout, uint32_t offset) {
    return [layout, offset](const std::string& path) {
        std::vector<uint8_t> bytes = testing::BuildBmp(layout);
        for (int i = 0; i < 4; ++i) bytes[10 + static_cast<size_t>(i)] = uint8_t(offset >> 8 * i);
        testing::WriteBytes(path, bytes);
    };
}

inline std::vector<Source> Sources() {
    const auto bmp = [](testing::BmpLayout layout) {
        return [layout](const std::string& path) {
            testing::WriteBytes(path, testing::BuildBmp(layout));
        };
    };
    testing::BmpLayout core = Bmp(31, 29, 24);
    core.headerSize = 12;
    testing::BmpLayout rle = Bmp(20, 19, 8, 4);
    rle.compression = 1;
    rle.pixels.clear();
    for (int y = 0; y < 19; ++y)
        rle.pixels.insert(rle.pixels.end(), {7, uint8_t(y % 4), 13, 2, 0, 0});
    rle.pixels.insert(rle.pixels.end(), {0, 1});
    // RLE4 rows of a run, an absolute run and a delta, one row left to the
    // end-of-bitmap mark.
    testing::BmpLayout rle4 = Bmp(21, 13, 4, 9);
    rle4.compression = 2;
    rle4.pixels.clear();
    for (int y = 0; y < 12; ++y)
        rle4.pixels.insert(rle4.pixels.end(), {5, uint8_t(0x12 + y % 7), 0, 4, 0x34, uint8_t(y % 9),
                                               0, 2, 3, 0, 0, 0});
    rle4.pixels.insert(rle4.pixels.end(), {0, 1});
    testing::BmpLayout truncated = Bmp(40, 30, 24);
    truncated.pixels.resize(truncated.pixels.size() / 2);

    const auto png = [](const char* name) {
        return [name](const std::string& path) {
            fs::copy_file(std::string(TESSARIN_TEST_DATA) + "/pngsuite/" + name, path);
        };
    };
    const auto gif = [](giftest::Gif layout) {
        return [layout](const std::string& path) {
            testing::WriteBytes(path, giftest::Encode(layout));
        };
    };
    // Texts and time on both sides of image data spread over several chunks;
    // cut short within that data.
    pngtest::PngLayout chunked;
    chunked.width = 61;
    chunked.height = 47;
    chunked.rows = pngtest::RandomRows(61, 47, 24, 5);
    chunked.texts = {{PNG_TEXT_COMPRESSION_NONE, "Title", "before", false},
                     {PNG_TEXT_COMPRESSION_zTXt, "Comment", "after the rows", true}};
    chunked.timeAfterImage = png_time{2024, 5, 6, 7, 8, 9};
    const auto pngMade = [chunked](double keep) {
        return [chunked, keep](const std::string& path) {
            ASSERT_TRUE(pngtest::WritePng(path, chunked));
            std::vector<uint8_t> bytes = testing::ReadBytes(path);
            bytes.resize(static_cast<size_t>(static_cast<double>(bytes.size()) * keep));
            testing::WriteBytes(path, bytes);
        };
    };
    // Two frames: the first smaller than the screen, with a local table and
    // transparency, the second never read.
    giftest::Gif frames = giftest::OneFrame(33, 70, 8);
    frames.screenWidth = 50;
    frames.screenHeight = 80;
    frames.frames[0].localColors = giftest::Palette(32, 9);
    frames.frames[0].graphicControls = {{0x01, 0, 0, 3}};
    frames.frames.push_back(giftest::OneFrame(50, 80, 8, false, 2).frames[0]);
    std::vector<uint8_t> cutGif = giftest::Encode(giftest::OneFrame(47, 90, 256));
    cutGif.resize(cutGif.size() / 2);
    giftest::Gif smallFrame = giftest::OneFrame(30, 20, 16);
    smallFrame.screenWidth = 41;
    smallFrame.screenHeight = 37;
    const auto jpeg = [](jpeg_test::SourceKind kind) {
        return [kind](const std::string& path) { jpeg_test::WriteSource(path, kind); };
    };
    return {
        {"bottom-up.bmp", bmp(Bmp(67, 45, 24))},
        {"top-down.bmp", bmp(Bmp(67, -45, 24))},
        {"palette.bmp", bmp(Bmp(37, 33, 8))},
        {"sixteen.bmp", bmp(Bmp(29, 35, 4, 16))},
        {"two-colour.bmp", bmp(Bmp(45, 31, 1, 2))},
        {"mono.bmp", bmp(Bmp(45, 31, 1))},
        {"565.bmp", bmp(Masked(16, 3, {0xF800, 0x07E0, 0x001F}))},
        {"alpha.bmp", bmp(Masked(32, 6, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}))},
        {"plain32.bmp", bmp(Bmp(23, 27, 32))},
        {"core.bmp", bmp(core)},
        // No pixel data offset: the pixels follow the header, masks and table.
        {"no-offset-565.bmp", BmpWithOffset(Masked(16, 3, {0xF800, 0x07E0, 0x001F}), 0)},
        {"no-offset-two-colour.bmp", BmpWithOffset(Bmp(45, 31, 1, 2), 0)},
        {"no-offset-top-down.bmp", BmpWithOffset(Bmp(67, -45, 24), 0)},
        {"no-offset-palette.bmp", BmpWithOffset(Bmp(37, 33, 8), 0)},
        // Pixels said to start inside the header, or inside the colour table.
        {"offset-in-header.bmp", BmpWithOffset(Bmp(21, 17, 24), 30)},
        {"offset-in-table.bmp", BmpWithOffset(Bmp(37, 33, 8), 14 + 40 + 100)},
        {"565-in-header.bmp", BmpWithOffset(Masked(16, 3, {0xF800, 0x07E0, 0x001F}), 40)},
        {"rle.bmp", bmp(rle)},
        {"rle4.bmp", bmp(rle4)},
        {"truncated.bmp", bmp(truncated)},
        {"grey1.png", png("basn0g01.png")},
        {"grey2.png", png("basn0g02.png")},
        {"grey16.png", png("basn0g16.png")},
        {"rgb8.png", png("basn2c08.png")},
        {"rgb16.png", png("basn2c16.png")},
        {"palette1.png", png("basn3p01.png")},
        {"palette2.png", png("basn3p02.png")},
        {"palette8.png", png("basn3p08.png")},
        {"grey-alpha.png", png("basn4a08.png")},
        {"rgba16.png", png("basn6a16.png")},
        {"interlaced.png", png("basi2c08.png")},
        {"interlaced-grey2.png", png("basi0g02.png")},
        {"interlaced-palette2.png", png("basi3p02.png")},
        {"interlaced-grey16.png", png("basi0g16.png")},
        {"interlaced-odd-size.png", png("s39i3p04.png")},
        {"text.png", png("ct1n0g04.png")},
        {"transparent.png", png("tbbn3p08.png")},
        {"odd-size.png", png("s39n3p04.png")},
        {"chunked.png", pngMade(1.0)},
        {"truncated.png", pngMade(0.6)},
        {"frame.gif", gif(giftest::OneFrame(43, 38, 64))},
        {"frames.gif", gif(frames)},
        {"truncated.gif", [cutGif](const std::string& path) { testing::WriteBytes(path, cutGif); }},
        {"interlaced.gif", gif(giftest::OneFrame(31, 29, 4, true))},
        {"small-frame.gif", gif(smallFrame)},
        {"420.jpg", jpeg({.width = 90, .height = 70})},
        {"444.jpg", jpeg({.width = 61, .height = 53, .factors = {{1, 1}, {1, 1}, {1, 1}}})},
        {"grey.jpg", jpeg({.width = 50, .height = 47, .components = 1})},
        {"progressive.jpg", jpeg({.width = 77, .height = 66, .progressive = true})},
        {"restarts.jpg", jpeg({.width = 70, .height = 60, .restartInterval = 3})},
        {"cmyk.jpg", jpeg({.width = 40, .height = 36, .components = 4})},
        {"truncated.jpg", jpeg({.width = 90, .height = 80, .keep = 0.6})},
        {"truncated-progressive.jpg",
         jpeg({.width = 90, .height = 80, .progressive = true, .keep = 0.7})},
    };
}

// Where the two bytes `a`, `b` first occur; the size when nowhere.
inline size_t Find(const std::vector<uint8_t>& bytes, uint8_t a, uint8_t b) {
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == a && bytes[i + 1] == b) return i;
    return bytes.size();
}

// A file that is damaged: its data ends or breaks before its picture does.
struct DamagedSource {
    const char* name;
    Writer write;
    const char* message;  // what every cut of it fails with
};

inline std::vector<DamagedSource> DamagedSources() {
    const auto jpeg = [](jpeg_test::SourceKind kind) {
        return [kind](const std::string& path) { jpeg_test::WriteSource(path, kind); };
    };
    const Writer baseline = jpeg({.width = 90, .height = 80});
    // Stuffed 0xFF bytes in the middle of the entropy-coded data: a run of
    // one bits no Huffman code has.
    const auto corrupt = [](std::vector<uint8_t>& bytes) {
        const size_t sos = Find(bytes, 0xFF, 0xDA);
        const size_t data = sos + 2 + (size_t{bytes[sos + 2]} << 8 | bytes[sos + 3]);
        const size_t middle = (data + bytes.size() - 2) / 2;
        for (size_t i = 0; i < 24; i += 2) {
            bytes[middle + i] = 0xFF;
            bytes[middle + i + 1] = 0x00;
        }
    };
    // A frame header that claims 65000 x 65000 pixels for the data of 90 x 80.
    const auto huge = [](std::vector<uint8_t>& bytes) {
        const size_t sof = Find(bytes, 0xFF, 0xC0);
        for (size_t at : {sof + 5, sof + 7}) {
            bytes[at] = 0xFD;
            bytes[at + 1] = 0xE8;
        }
    };
    // 65535 x 65535 pixels (or 16000 x 16000 interlaced) of a two-colour
    // table, coded as a clear code and one pixel.
    const auto claiming = [](uint16_t side, bool interlaced) {
        return [side, interlaced](const std::string& path) {
            const auto lo = uint8_t(side), hi = uint8_t(side >> 8);
            testing::WriteBytes(path, {'G',
                                       'I',
                                       'F',
                                       '8',
                                       '9',
                                       'a',
                                       lo,
                                       hi,
                                       lo,
                                       hi,
                                       0x80,
                                       0,
                                       0,
                                       0,
                                       0,
                                       0,
                                       255,
                                       255,
                                       255,
                                       ',',
                                       0,
                                       0,
                                       0,
                                       0,
                                       lo,
                                       hi,
                                       lo,
                                       hi,
                                       uint8_t(interlaced ? 0x40 : 0),
                                       2,
                                       1,
                                       0x04,
                                       0,
                                       ';'});
        };
    };
    std::vector<uint8_t> cutGif = giftest::Encode(giftest::OneFrame(47, 90, 256));
    cutGif.resize(cutGif.size() / 2);
    const auto png = [](const char* name) {
        return [name](const std::string& path) {
            fs::copy_file(std::string(TESSARIN_TEST_DATA) + "/pngsuite/" + name, path);
        };
    };
    // basn2c08.png's one image data chunk (72 bytes of data from byte 57)
    // changed at `at`, and split in two after `split` bytes, with CRCs that
    // match. libpng meets a zlib checksum in a chunk of its own only after
    // the rows.
    const auto idat = [](size_t at, size_t split) {
        return [at, split](std::vector<uint8_t>& bytes) {
            std::vector<uint8_t> data(bytes.begin() + 57, bytes.begin() + 129), chunks;
            data[at] ^= 0x5A;
            for (const auto& [from, to] :
                 {std::pair{size_t{0}, split}, std::pair{split, size_t{72}}}) {
                std::vector<uint8_t> chunk = {0, 0, 0, uint8_t(to - from), 'I', 'D', 'A', 'T'};
                chunk.insert(chunk.end(), data.begin() + ptrdiff_t(from),
                             data.begin() + ptrdiff_t(to));
                const uLong crc = crc32(0, &chunk[4], static_cast<uInt>(chunk.size() - 4));
                for (int i = 3; i >= 0; --i) chunk.push_back(uint8_t(crc >> 8 * i));
                chunks.insert(chunks.end(), chunk.begin(), chunk.end());
            }
            bytes.erase(bytes.begin() + 49, bytes.begin() + 133);
            bytes.insert(bytes.begin() + 49, chunks.begin(), chunks.end());
        };
    };
    // A text chunk said to be 2 GB long, in a file of a few hundred bytes.
    const auto hugeChunk = [](std::vector<uint8_t>& bytes) {
        const std::vector<uint8_t> text = {0x7F, 0xFF, 0xFF, 0x00, 't', 'E', 'X', 't', 'k', 0, 'v'};
        bytes.insert(bytes.begin() + 33, text.begin(), text.end());  // after the header chunk
    };
    testing::BmpLayout rle = Bmp(20, 19, 8, 4);
    rle.compression = 1;
    rle.pixels.clear();
    for (int y = 0; y < 9; ++y) rle.pixels.insert(rle.pixels.end(), {20, uint8_t(y % 4), 0, 0});
    const char* const jpegMessage = "イメージデータの取得に失敗しました";
    const char* const gifMessage = "ファイルの読み込みに失敗しました";
    const char* const pngMessage = "ファイルを開くのに失敗しました";
    return {
        {"truncated.jpg", jpeg({.width = 90, .height = 80, .keep = 0.6}), jpegMessage},
        {"truncated-progressive.jpg",
         jpeg({.width = 90, .height = 80, .progressive = true, .keep = 0.7}), jpegMessage},
        {"truncated-arithmetic.jpg",
         jpeg({.width = 90, .height = 80, .arithmetic = true, .keep = 0.6}), jpegMessage},
        {"corrupt.jpg", Edited(baseline, corrupt), jpegMessage},
        {"corrupt-progressive.jpg",
         Edited(jpeg({.width = 90, .height = 80, .progressive = true}), corrupt), jpegMessage},
        {"huge.jpg", Edited(baseline, huge), jpegMessage},
        {"huge.gif", claiming(65535, false), gifMessage},
        {"huge-interlaced.gif", claiming(16000, true), gifMessage},
        {"truncated.gif", [cutGif](const std::string& path) { testing::WriteBytes(path, cutGif); },
         gifMessage},
        {"corrupt-idat.png", Edited(png("basn2c08.png"), idat(36, 72)), pngMessage},
        {"checksum.png", Edited(png("basn2c08.png"), idat(71, 68)), pngMessage},
        {"huge-chunk.png", Edited(png("basn2c08.png"), hugeChunk), pngMessage},
        {"truncated-interlaced.png",
         Edited(png("basi2c08.png"), [](std::vector<uint8_t>& b) { b.resize(b.size() * 3 / 4); }),
         pngMessage},
        {"rle-cut-short.bmp",
         [rle](const std::string& path) { testing::WriteBytes(path, testing::BuildBmp(rle)); },
         "ファイルが不正です"},
    };
}

// Files the library warns about that are not damaged: stray bytes before a
// marker, and a single scan without its end-of-image marker.
inline std::vector<Source> UndamagedSources() {
    const Writer baseline = [](const std::string& path) {
        jpeg_test::WriteSource(path, {.width = 90, .height = 80});
    };
    return {
        {"extraneous.jpg",
         Edited(baseline,
                [](std::vector<uint8_t>& bytes) {
                    const size_t sos = Find(bytes, 0xFF, 0xDA);
                    bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(sos), {0x00, 0x11, 0x22});
                })},
        {"no-end.jpg", Edited(baseline,
                              [](std::vector<uint8_t>& bytes) {
                                  if (bytes.size() >= 2) bytes.resize(bytes.size() - 2);
                              })},
    };
}

}  // namespace band_sources
}  // namespace tessarin
