#include "split/manifest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "split/manifest_reader.h"
#include "split/split_job.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

std::string Hex(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

// Python reads the file as UTF-8 and strict JSON, and gives back the bytes of
// the source path and of each tile's file name by "surrogateescape", in hex.
std::string NamesAsPythonReadsThem(const std::string& path) {
    const std::string command =
        "python3 -c 'import json, sys\n"
        "d = json.load(open(sys.argv[1], encoding=\"utf-8\"))\n"
        "names = [d[\"source\"][\"path\"]] + [t[\"file\"] for t in d[\"tiles\"]]\n"
        "print(\" \".join(n.encode(\"utf-8\", \"surrogateescape\").hex() for n in names))' '" +
        path + "' 2>&1";
    return testing::CaptureCommand(command);
}

// Whatever bytes a name holds, the manifest is valid JSON and the names come
// back byte for byte: bytes that are not well-formed UTF-8 (a Latin-1 byte,
// overlong forms, encoded surrogates, code points past U+10FFFF, stray or
// cut-short sequences) as lone surrogates, and nothing else taken for one.
// The program's own reader gives them back the same way.
TEST(Manifest, EveryNameIsValidJsonAndComesBackExactly) {
    const std::vector<std::string> names = {
        "plain.jpg",         "写真.jpg",         "\xf0\x9f\x98\x80.png",
        "caf\xe9.jpg",       "\xed\xb3\xa9.jpg", "\xc0\xaf.jpg",
        "\xe0\x80\xaf.jpg",  "\xed\xa0\x80.jpg", "\xf4\x90\x80\x80",
        "\x80\xbf.jpg",      "\xe5\x86.jpg",     "end\xe5",
        "tab\tnl\n\x01\x7f", "q\"b\\s/.jpg",     "\xff\xfe"};
    SplitJob job;
    job.image.path = "pics/caf\xe9/\xc0\xaf\x01\"\\.jpg";
    std::vector<ManifestTile> tiles;
    std::string expected = Hex(job.image.path);
    for (size_t i = 0; i < names.size(); ++i) {
        ManifestTile tile;
        tile.fileName = names[i];
        tile.rect.row = static_cast<int>(i);
        tiles.push_back(tile);
        expected += " " + Hex(names[i]);
    }
    testing::TempDir dir;
    const std::string text = ManifestText(job, TileGrid{}, false, tiles);
    testing::WriteBytes(dir / "m.json", std::vector<uint8_t>(text.begin(), text.end()));
    ManifestSummary summary;
    ASSERT_TRUE(ReadManifest(dir / "m.json", summary));
    EXPECT_EQ(summary.sourcePath, job.image.path);
    EXPECT_EQ(summary.files, names);
    for (const size_t cut : {size_t{0}, text.size() / 2, text.size() - 3}) {
        testing::WriteBytes(dir / "cut.json", std::vector<uint8_t>(text.data(), text.data() + cut));
        EXPECT_FALSE(ReadManifest(dir / "cut.json", summary)) << cut;
    }
    if (std::system("command -v python3 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 is not installed: nothing else to read the manifest with";
    EXPECT_EQ(NamesAsPythonReadsThem(dir / "m.json"), expected + "\n") << text;
}

}  // namespace
}  // namespace tessarin
