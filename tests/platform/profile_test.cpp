#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/text.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class ProfileFile : public ::testing::Test {
  protected:
    std::string At(const std::string& name) const { return folder_ + "/" + name; }

    testing::TempDir dir_;
    std::string folder_ = dir_.Path().string();
};

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Utf16(const std::u16string& text, bool littleEndian) {
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t c : text) {
        char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        out += littleEndian ? std::string{lo, hi} : std::string{hi, lo};
    }
    return out;
}

TEST_F(ProfileFile, ReadsFilesAsWindowsWritesThem) {
    const std::u16string text =
        u"; hand-written\r\n[Cut_Size]\r\n  width = 640  \r\nWidth_Per = \"12.5\"\r\n\r\n"
        u"[save_folder]\r\nPath=\"/home/a/出力 \"\r\n";
    const std::string crlf =
        "; hand-written\r\n[Cut_Size]\r\n  width = 640  \r\nWidth_Per = \"12.5\"\r\n\r\n"
        "[save_folder]\r\nPath=\"/home/a/出力 \"\r\n";
    std::string lf = crlf;
    std::erase(lf, '\r');
    const std::pair<const char*, std::string> variants[] = {
        {"LF", lf},
        {"CRLF", crlf},
        {"UTF-8 BOM", "\xEF\xBB\xBF" + crlf},
        {"UTF-16LE", Utf16(text, true)},
        {"UTF-16BE", Utf16(text, false)},
    };
    for (const auto& [name, bytes] : variants) {
        Put(At("w.ini"), bytes);
        EXPECT_EQ(GetProfileInt(At("w.ini"), "CUT_SIZE", "WIDTH", -1), 640) << name;
        EXPECT_EQ(GetProfileString(At("w.ini"), "cut_size", "WIDTH_PER", ""), "12.5") << name;
        EXPECT_EQ(GetProfileString(At("w.ini"), "SAVE_FOLDER", "PATH", ""), "/home/a/出力 ")
            << name;
        EXPECT_EQ(GetProfileInt(At("w.ini"), "SAVE_FOLDER", "WIDTH", 7), 7) << name;
    }
}

TEST(Profile, LookupRules) {
    const ProfileDocument doc = ParseProfile(
        "TOP=before any section\n[A]\nK=first\nK=second\nX = a=b\nQ1 = \"quoted\"\n"
        "Q2 = \"unbalanced\nQ3 = \"\"inner\"\"\nE =\nNOEQ\n;C=comment\n[B]\nK=in b\n"
        "[ a ]\nK=third\nL=later\n[broken\n");
    const std::pair<const char*, const char*> expected[] = {
        {"K", "first"},      {"X", "a=b"}, {"Q1", "quoted"}, {"Q2", "\"unbalanced"},
        {"Q3", "\"inner\""}, {"E", ""},    {"L", "later"},
    };
    for (const auto& [key, value] : expected) EXPECT_EQ(doc.GetString("a", key, "-"), value) << key;
    EXPECT_EQ(doc.GetString("B", "k", "-"), "in b");
    for (const char* missing : {"NOEQ", ";C", "C", "TOP", "M"})
        EXPECT_EQ(doc.GetString("A", missing, "-"), "-") << missing;
    EXPECT_EQ(doc.GetInt("C", "K", 42), 42);
    EXPECT_EQ(doc.GetInt("A", "E", 42), 0);  // present but without digits
}

TEST(Profile, IntegerRule) {
    const std::pair<const char*, int> cases[] = {
        {"42", 42},
        {"  -7x", -7},
        {"+5", 5},
        {"abc", 0},
        {"", 0},
        {"12.9", 12},
        {"0x10", 0},
        {"- 3", 0},
        {"2147483647", INT_MAX},
        {"99999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999", INT_MIN},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseDecimalInt(text), value) << text;
}

TEST_F(ProfileFile, WriteChangesOnlyTheKeyLine) {
    Put(At("s.ini"),
        "; keep me\r\n[Cut_Size]\r\n  Width = 1\r\nUNKNOWN=x\r\n\r\n[JPEG]\r\nQUALITY=75\r\n");
    ASSERT_TRUE(WriteProfileString(At("s.ini"), "CUT_SIZE", "WIDTH", "2"));
    ASSERT_TRUE(WriteProfileString(At("s.ini"), "cut_size", "HEIGHT", "3"));
    ASSERT_TRUE(WriteProfileString(At("s.ini"), "OPTION", "ALL_BMP", "1"));
    ASSERT_TRUE(WriteProfileString(At("s.ini"), "JPEG", "QUALITY", "80"));
    EXPECT_EQ(Get(At("s.ini")),
              "; keep me\n[Cut_Size]\nWidth=2\nUNKNOWN=x\nHEIGHT=3\n\n[JPEG]\nQUALITY=80\n"
              "[OPTION]\nALL_BMP=1\n");
}

TEST_F(ProfileFile, BatchWriteMatchesSingleWrites) {
    const std::vector<ProfileEntry> entries = {{"B", "X", "1"}, {"A", "Y", "2"}, {"B", "Z", "3"}};
    Put(At("one.ini"), "[A]\nW=0\n");
    Put(At("many.ini"), "[A]\nW=0\n");
    ASSERT_TRUE(WriteProfileStrings(At("one.ini"), entries));
    for (const auto& e : entries)
        ASSERT_TRUE(WriteProfileString(At("many.ini"), e.section, e.key, e.value));
    EXPECT_EQ(Get(At("one.ini")), "[A]\nW=0\nY=2\n[B]\nX=1\nZ=3\n");
    EXPECT_EQ(Get(At("many.ini")), Get(At("one.ini")));
}

TEST_F(ProfileFile, FirstWriteCreatesEveryFolderLevel) {
    const std::string path = At("a/b/c/new.ini");
    ASSERT_TRUE(WriteProfileString(path, "INI", "NO", "3"));
    EXPECT_EQ(Get(path), "[INI]\nNO=3\n");
}

TEST_F(ProfileFile, ValuesReadBackExactlyAsWritten) {
    for (std::string value : {" lead", "trail ", "\"q\"", "\"\"", "\"", "", "a = b", "設定０"}) {
        ASSERT_TRUE(WriteProfileString(At("v.ini"), "S", "K", value)) << value;
        EXPECT_EQ(GetProfileString(At("v.ini"), "S", "K", "-"), value);
    }
    const std::string before = Get(At("v.ini"));
    for (auto [section, key, value] : {std::tuple{"S", "K", "two\nlines"},
                                       {"S", "K", "cr\r"},
                                       {"S", "K=", "v"},
                                       {"S]", "K", "v"},
                                       {"S", "", "v"}})
        EXPECT_FALSE(WriteProfileString(At("v.ini"), section, key, value)) << key << value;
    EXPECT_EQ(Get(At("v.ini")), before);
}

TEST_F(ProfileFile, WriteThroughSymlinkReplacesTheTarget) {
    Put(At("real.ini"), "[S]\nK=1\n");
    fs::create_symlink(At("real.ini"), At("link.ini"));
    ASSERT_TRUE(WriteProfileString(At("link.ini"), "S", "K", "2"));
    EXPECT_TRUE(fs::is_symlink(At("link.ini")));
    EXPECT_EQ(Get(At("real.ini")), "[S]\nK=2\n");
}

TEST_F(ProfileFile, UnwritablePlacesFailCleanly) {
    Put(At("plain"), "not a folder");
    EXPECT_FALSE(WriteProfileString(At("plain/sub/x.ini"), "S", "K", "v"));
    EXPECT_EQ(Get(At("plain")), "not a folder");
    fs::create_directory(At("dir.ini"));
    EXPECT_EQ(GetProfileInt(At("dir.ini"), "S", "K", 9), 9);
    EXPECT_FALSE(WriteProfileString(At("dir.ini"), "S", "K", "v"));
    EXPECT_FALSE(WriteProfileString("", "S", "K", "v"));
}

TEST_F(ProfileFile, FullDiskLeavesOldFileIntact) {
    const std::string old = "; comment\r\n[S]\r\nK=old\r\n";
    Put(At("full.ini"), old);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 8;  // every write past 8 bytes fails with EFBIG
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool written = WriteProfileString(At("full.ini"), "S", "K", "a much longer new value");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(Get(At("full.ini")), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1)
        << "temporary file left behind";
}

// Settings go through the same temporary files as tiles: names planted where
// the temporary file of a write used to be made (pid and a counter) neither
// block the write nor redirect it.
TEST_F(ProfileFile, PlantedTemporaryNamesDoNotBlockOrRedirectAWrite) {
    Put(At("victim"), "v");
    for (int n = 0; n < 200; ++n) {
        const std::string name =
            ".tessarin-" + std::to_string(::getpid()) + "-" + std::to_string(n);
        fs::create_symlink(At("victim"), At(name + ".tmp"));
        fs::create_symlink(At("victim"), At(name + ".part"));
    }
    ASSERT_TRUE(WriteProfileString(At("s.ini"), "S", "K", "1"));
    EXPECT_EQ(Get(At("s.ini")), "[S]\nK=1\n");
    EXPECT_EQ(Get(At("victim")), "v");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 402);
}

TEST_F(ProfileFile, ReadOnlyFileIsNotReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
    Put(At("ro.ini"), "[S]\nK=1\n");
    fs::permissions(At("ro.ini"), fs::perms::owner_read);
    EXPECT_FALSE(WriteProfileString(At("ro.ini"), "S", "K", "2"));
    EXPECT_EQ(Get(At("ro.ini")), "[S]\nK=1\n");
}

TEST(Profile, SurvivesNoise) {
    std::vector<std::string> inputs = {"",
                                       "\xFF\xFE",
                                       "\xFF\xFE[\0S\0]"s,
                                       "\xFE\xFF\xD8\x00\x00["s,
                                       "\xFF\xFE\x00\xD8"s,
                                       "[]\n=\n[=]\n[\n]",
                                       std::string(5, '\0'),
                                       "\xEF\xBB\xBF\xEF\xBB",
                                       "\xEF\xBB\xBF\xFF\xFE[S]\nK=1",
                                       "[S]\nK" + std::string(1 << 20, 'x') + "=v\n",
                                       "\xFF\xFE\x01\x01\x01\x00\xDC\xFF\xDB"s};
    std::mt19937 rng(7);
    const std::string alphabet = "[]=;\"\r\n \t\xEF\xBB\xBF\xFF\xFE\xD8\xDC\x00SKsk0-"s;
    for (int n = 0; n < 300; ++n) {
        std::string bytes(rng() % 200, '\0');
        for (char& c : bytes)
            c = (n % 2) ? static_cast<char>(rng()) : alphabet[rng() % alphabet.size()];
        if (n % 3 == 0) bytes.insert(0, n % 6 ? "\xFF\xFE" : "\xFE\xFF");
        inputs.push_back(bytes);
    }
    for (const std::string& bytes : inputs) {
        ProfileDocument doc = ParseProfile(bytes);
        (void)doc.GetInt("S", "K", 0);
        ASSERT_TRUE(doc.Set("S", "K", "value"));
        EXPECT_EQ(ParseProfile(doc.Serialize()).GetString("S", "K", "-"), "value");
    }
}

}  // namespace
}  // namespace tessarin
