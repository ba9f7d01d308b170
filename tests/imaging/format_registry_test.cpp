// What the registry promises of every format in it, and what every
// registered reader must survive. A format added to the registry is held to
// all of it once it has its sample below.

#include "imaging/format_registry.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "imaging/gif/gif_test_files.h"
#include "imaging/jpeg/jpeg_test_util.h"
#include "imaging/messages.h"
#include "imaging/png/png_test_support.h"
#include "split/message_catalogue.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

using testing::TempDir;
using Bytes = std::vector<uint8_t>;

// A small valid file of each format.
std::map<ImageFileKind, std::function<Bytes(const TempDir&)>> Samples() {
    return {
        {ImageFileKind::Bmp,
         [](const TempDir&) {
             testing::BmpLayout layout;
             layout.width = 5;
             layout.height = 3;
             layout.pixels.assign(16 * 3, 0x5A);
             return testing::BuildBmp(layout);
         }},
        {ImageFileKind::Jpeg,
         [](const TempDir& dir) {
             const std::string path = dir / "sample.jpg";
             jpeg_test::WriteLibraryJpeg(
                 path,
                 jpeg_test::MakeSamples(24, 16, 3,
                                        [](int x, int y, int c) {
                                            return static_cast<uint8_t>(x * 9 + y * 5 + c * 70);
                                        }),
                 90, true);
             const std::string text = jpeg_test::ReadBytes(path);
             return Bytes(text.begin(), text.end());
         }},
        {ImageFileKind::Png,
         [](const TempDir&) { return testing::ReadBytes(pngtest::SuiteDir() + "/basi3p02.png"); }},
        {ImageFileKind::Gif,
         [](const TempDir&) { return giftest::Encode(giftest::OneFrame(6, 5, 4, true)); }},
    };
}

bool InCatalogue(const char* text) {
    for (const CatalogueEntry& entry : EngineCatalogue())
        if (std::string_view(entry.japanese) == text) return true;
    return false;
}

TEST(FormatRegistry, EveryFormatIsFoundByItsKindExtensionsAndFirstBytes) {
    TempDir dir;
    const auto samples = Samples();
    std::set<ImageFileKind> kinds;
    for (const ImageFormat* format : ImageFormats()) {
        SCOPED_TRACE(format->name);
        EXPECT_TRUE(kinds.insert(format->kind).second);
        EXPECT_EQ(FindImageFormat(format->kind), format);
        for (const char* const* e = format->extensions; *e; ++e) {
            std::string upper = *e;
            for (char& c : upper) c = static_cast<char>(std::toupper(c));
            EXPECT_EQ(FindImageFormatByExtension(*e), format) << *e;
            EXPECT_EQ(FindImageFormatByExtension(upper), format) << upper;
        }
        for (const char* const* m = format->messages; *m; ++m) EXPECT_TRUE(InCatalogue(*m)) << *m;
        if (format->loadFailed) {
            EXPECT_TRUE(InCatalogue(format->loadFailed));
        }
        ASSERT_TRUE(samples.count(format->kind)) << "no sample for this format";
        const Bytes bytes = samples.at(format->kind)(dir);
        ASSERT_GE(bytes.size(), kSniffBytes);
        EXPECT_EQ(SniffImageFormat(bytes.data(), kSniffBytes), format);
        EXPECT_EQ(SniffImageFormat(bytes.data(), 1), nullptr);
    }
    EXPECT_EQ(FindImageFormat(ImageFileKind::Unsupported), nullptr);
    EXPECT_EQ(FindImageFormat(ImageFileKind::BadPath), nullptr);
}

// Every registered reader, for the viewer and for tiles, over its sample cut
// at every length and over its first bytes followed by noise: it loads, or
// fails with a message of its own or one every reader shares (and so does
// the damage a load keeps); nothing escapes and nothing crashes.
TEST(FormatRegistry, ReadersLoadOrFailWithTheirMessageOnTruncationAndNoise) {
    TempDir dir;
    const auto samples = Samples();
    const std::set<std::string> shared = {msg::kInvalidFile, msg::kReadFailed, msg::kOpenFailed,
                                          msg::kMemoryFailed};
    std::mt19937 rng(7);
    for (const ImageFormat* format : ImageFormats()) {
        SCOPED_TRACE(format->name);
        ASSERT_TRUE(samples.count(format->kind)) << "no sample for this format";
        const Bytes whole = samples.at(format->kind)(dir);
        std::set<std::string> known = shared;
        for (const char* const* m = format->messages; *m; ++m) known.insert(*m);
        std::vector<Bytes> inputs;
        for (size_t cut = 0; cut < whole.size(); ++cut)
            inputs.emplace_back(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
        for (int round = 0; round < 40; ++round) {
            Bytes noisy(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(kSniffBytes));
            noisy.resize(kSniffBytes + rng() % 600);
            for (size_t i = kSniffBytes; i < noisy.size(); ++i)
                noisy[i] = static_cast<uint8_t>(rng());
            inputs.push_back(std::move(noisy));
        }
        const std::string path = dir / (std::string("input") + format->extensions[0]);
        for (size_t i = 0; i < inputs.size(); ++i) {
            testing::WriteBytes(path, inputs[i]);
            for (const bool forTiles : {false, true}) {
                if (forTiles && !format->loadForTiles) continue;
                LoadedImage out;
                bool ok = false;
                EXPECT_NO_THROW(ok = forTiles ? format->loadForTiles(SourceFile::Open(path), out)
                                              : format->load(SourceFile::Open(path), out, nullptr))
                    << "input " << i;
                if (ok) {
                    if (!out.damage.empty()) {
                        EXPECT_TRUE(known.count(out.damage)) << "input " << i << ": " << out.damage;
                    }
                    continue;
                }
                const std::string message = format->loadFailed ? format->loadFailed : out.error;
                EXPECT_TRUE(known.count(message)) << "input " << i << ": " << message;
            }
        }
    }
}

}  // namespace
}  // namespace tessarin
