// What the registry promises of every format in it, and what every
// registered reader must survive. A format added to the registry is held to
// all of it once it has its sample below.

#include "imaging/format_registry.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "imaging/messages.h"
#include "split/message_catalogue.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

using testing::TempDir;
using Bytes = std::vector<uint8_t>;

Bytes SampleOf(const ImageFormat& format) {
    return Bytes(format.sample.begin(), format.sample.end());
}

bool InCatalogue(const char* text) {
    for (const CatalogueEntry& entry : EngineCatalogue())
        if (std::string_view(entry.japanese) == text) return true;
    return false;
}

TEST(FormatRegistry, EveryFormatIsFoundByItsKindExtensionsAndFirstBytes) {
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
        const Bytes bytes = SampleOf(*format);
        ASSERT_GE(bytes.size(), kSniffBytes) << "no sample for this format";
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
    const std::set<std::string> shared = {msg::kInvalidFile, msg::kReadFailed, msg::kOpenFailed,
                                          msg::kMemoryFailed};
    std::mt19937 rng(7);
    for (const ImageFormat* format : ImageFormats()) {
        SCOPED_TRACE(format->name);
        const Bytes whole = SampleOf(*format);
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
                EXPECT_NO_THROW(
                    ok = forTiles ? format->loadForTiles(SourceFile::Open(path), out)
                                  : LoadWholeImage(*format, SourceFile::Open(path), out, nullptr))
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
