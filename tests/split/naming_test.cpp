#include "split/naming.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "split/formats.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system temp folder, removed afterwards, with HOME
// and XDG_CONFIG_HOME pointed inside it so the desktop fallback never reaches
// the real user's folders.
class NamingFolders : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tessarin-naming-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        Save("HOME", savedHome);
        Save("XDG_CONFIG_HOME", savedConfig);
        home = root + "/home";
        fs::create_directories(home);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    }
    void TearDown() override {
        Restore("HOME", savedHome);
        Restore("XDG_CONFIG_HOME", savedConfig);
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    static void Save(const char* name, std::optional<std::string>& slot) {
        if (const char* v = getenv(name)) slot = v;
    }
    static void Restore(const char* name, const std::optional<std::string>& slot) {
        if (slot)
            setenv(name, slot->c_str(), 1);
        else
            unsetenv(name);
    }
    std::string MakeDir(const std::string& relative) {
        fs::create_directories(root + "/" + relative);
        return root + "/" + relative;
    }
    static bool IsDir(const std::string& path) { return fs::is_directory(path); }

    std::string root;
    std::string home;
    std::optional<std::string> savedHome;
    std::optional<std::string> savedConfig;
};

TEST(Naming, ClassifiesByExtensionInAnyCase) {
    const std::vector<std::pair<std::string, ImageFileKind>> cases = {
        {"/p/a.png", ImageFileKind::Png},
        {"/p/a.PnG", ImageFileKind::Png},
        {"/p/a.gif", ImageFileKind::Gif},
        {"/p/A.GIF", ImageFileKind::Gif},
        {"/p/a.bmp", ImageFileKind::Bmp},
        {"/p/a.DIB", ImageFileKind::Bmp},
        {"/p/PHOTO.JPEG", ImageFileKind::Jpeg},
        {"/p/a.jpg", ImageFileKind::Jpeg},
        {"/p/a.Jpe", ImageFileKind::Jpeg},
        {"/p/a.JFIF", ImageFileKind::Jpeg},
        {"/p/a.jfi", ImageFileKind::Jpeg},
        {"/p/a.jif", ImageFileKind::Jpeg},
        {"/p/a.TIFF", ImageFileKind::Tiff},
        {"/p/a.tga", ImageFileKind::Unsupported},
        {"/p/noext", ImageFileKind::Unsupported},
        {"/p/a.", ImageFileKind::Unsupported},
        {"/p/a.pngx", ImageFileKind::Unsupported},
        {"/p/a.jp", ImageFileKind::Unsupported},
        {"/p.png/file", ImageFileKind::Unsupported},
        {"/p/a.png/", ImageFileKind::Unsupported},
        {"", ImageFileKind::Unsupported},
        {"/p/x.tar.gif", ImageFileKind::Gif},
        {"/p/.png", ImageFileKind::Png},
        {"relative.jpg", ImageFileKind::Jpeg},
        {"/p/\xE5\x86\x99\xE7\x9C\x9F.BMP", ImageFileKind::Bmp},
    };
    for (const auto& [path, kind] : cases) EXPECT_EQ(ClassifyImageFile(path), kind) << path;
}

TEST(Naming, OverlongExtensionIsABadPath) {
    EXPECT_EQ(ClassifyImageFile("/p/a." + std::string(255, 'x')), ImageFileKind::Unsupported);
    EXPECT_EQ(ClassifyImageFile("/p/a." + std::string(256, 'x')), ImageFileKind::BadPath);
    // Characters, not bytes: 200 three-byte characters are a short extension.
    std::string wide;
    for (int i = 0; i < 200; ++i) wide += "\xE3\x81\x82";
    EXPECT_EQ(ClassifyImageFile("/p/a." + wide), ImageFileKind::Unsupported);
    std::string base;
    std::string ext;
    EXPECT_FALSE(SplitFileName("/p/a." + std::string(256, 'x'), base, ext));
    EXPECT_TRUE(SplitFileName("/p/a." + wide, base, ext));
}

TEST(Naming, SplitsFileNames) {
    struct Case {
        std::string path;
        bool ok;
        std::string base;
        std::string ext;
    };
    for (const Case& c : std::vector<Case>{{"/a/b/photo.JPG", true, "photo", ".JPG"},
                                           {"/a/b/x.tar.gz", true, "x.tar", ".gz"},
                                           {"/a.b/noext", true, "noext", ""},
                                           {"/a/.png", true, "", ".png"},
                                           {"photo.Png", true, "photo", ".Png"},
                                           {"/a/b/", false, "", ""},
                                           {"", false, "", ""}}) {
        std::string base = "old";
        std::string ext = "old";
        EXPECT_EQ(SplitFileName(c.path, base, ext), c.ok) << c.path;
        if (c.ok) {
            EXPECT_EQ(base, c.base) << c.path;
            EXPECT_EQ(ext, c.ext) << c.path;
        }
    }
}

TEST(Naming, RelativeBaseFolderLevels) {
    const std::string src = "/a/b/c/img.png";
    EXPECT_EQ(RelativeBaseFolder(src, 0), "/a/b/c");
    EXPECT_EQ(RelativeBaseFolder(src, 1), "/a/b");
    EXPECT_EQ(RelativeBaseFolder(src, 2), "/a");
    EXPECT_EQ(RelativeBaseFolder(src, 3), "/");
    // Above the root there is no folder.
    EXPECT_EQ(RelativeBaseFolder(src, 4), "");
    EXPECT_EQ(RelativeBaseFolder(src, 2147483647), "");
    EXPECT_EQ(RelativeBaseFolder(src, -2), "/a/b/c");
    EXPECT_EQ(RelativeBaseFolder("/img.png", 0), "/");
    EXPECT_EQ(RelativeBaseFolder("/a//b/img.png", 1), "/a");
    std::string cwd = fs::current_path().string();
    EXPECT_EQ(RelativeBaseFolder("img.png", 0), cwd);
    EXPECT_EQ(RelativeBaseFolder("sub/img.png", 1), cwd);
}

TEST_F(NamingFolders, RelativeSubFolders) {
    const std::string c = MakeDir("a/b/c");
    const std::string src = c + "/img.png";
    SplitSettings s;
    s.relative = 1;
    s.makeFolder = 1;
    s.uniqueFolder = 1;
    EXPECT_EQ(ResolveOutputFolder(src, s), c + "/_img.png");
    EXPECT_TRUE(IsDir(c + "/_img.png"));
    s.dirLevel = 1;
    EXPECT_EQ(ResolveOutputFolder(src, s), root + "/a/b/img.png");
    EXPECT_TRUE(IsDir(root + "/a/b/img.png"));
    s.uniqueFolder = 0;
    EXPECT_EQ(ResolveOutputFolder(src, s), root + "/a/b/Tessarin_out");
    EXPECT_TRUE(IsDir(root + "/a/b/Tessarin_out"));
    s.makeFolder = 0;
    s.dirLevel = 2;
    EXPECT_EQ(ResolveOutputFolder(src, s), root + "/a");
    EXPECT_EQ(DescribeOutputFolder(src, s), root + "/a");
}

TEST_F(NamingFolders, AbsoluteFolderUnderscoreRule) {
    const std::string folder = MakeDir("src");
    const std::string upper = MakeDir("SRC");
    const std::string src = folder + "/photo.jpg";
    SplitSettings s;
    s.makeFolder = 1;
    s.uniqueFolder = 1;
    s.savePath = folder;
    EXPECT_EQ(ResolveOutputFolder(src, s), folder + "/_photo.jpg");
    // A trailing "/" does not count.
    s.savePath = folder + "/";
    EXPECT_EQ(ResolveOutputFolder(src, s), folder + "/_photo.jpg");
    // The comparison keeps case: another folder, no underscore.
    s.savePath = upper;
    EXPECT_EQ(ResolveOutputFolder(src, s), upper + "/photo.jpg");
    EXPECT_TRUE(IsDir(upper + "/photo.jpg"));
    EXPECT_FALSE(IsDir(folder + "/photo.jpg"));
    // Plain absolute folder without a sub-folder.
    s.makeFolder = 0;
    s.savePath = upper + "//";
    EXPECT_EQ(ResolveOutputFolder(src, s), upper);
}

TEST_F(NamingFolders, MissingSaveFolderFallsBackToTheDesktop) {
    SplitSettings s;
    s.savePath = root + "/missing";
    // No desktop folder: the home folder stands in.
    EXPECT_EQ(ResolveOutputFolder("/x/img.gif", s), home);
    const std::string desktop = MakeDir("home/Desktop");
    EXPECT_EQ(ResolveOutputFolder("/x/img.gif", s), desktop);
    s.savePath.clear();
    EXPECT_EQ(ResolveOutputFolder("/x/img.gif", s), desktop);
    s.makeFolder = 1;
    EXPECT_EQ(ResolveOutputFolder("/x/img.gif", s), desktop + "/Tessarin_out");
    EXPECT_TRUE(IsDir(desktop + "/Tessarin_out"));
    EXPECT_FALSE(IsDir(root + "/missing"));  // the save folder is never created here
}

TEST_F(NamingFolders, UncreatableSubFolderIsNotAnError) {
    const std::string out = MakeDir("out");
    std::ofstream(out + "/Tessarin_out") << "a file in the way";
    SplitSettings s;
    s.savePath = out;
    s.makeFolder = 1;
    EXPECT_EQ(ResolveOutputFolder("/x/img.png", s), out + "/Tessarin_out");
    EXPECT_FALSE(IsDir(out + "/Tessarin_out"));
}

TEST_F(NamingFolders, DescribesWithoutCreating) {
    const std::string out = MakeDir("out");
    SplitSettings s;
    s.relative = 1;
    EXPECT_EQ(DescribeOutputFolder("", s), "未定");
    s.relative = 0;
    s.makeFolder = 1;
    s.uniqueFolder = 1;
    EXPECT_EQ(DescribeOutputFolder("", s), "未定");
    s.savePath = out + "/";
    EXPECT_EQ(DescribeOutputFolder(out + "/pic.bmp", s), out + "/_pic.bmp");
    EXPECT_EQ(s.savePath, out + "/");  // the display leaves the record alone
    s.uniqueFolder = 0;
    EXPECT_EQ(DescribeOutputFolder("", s), out + "/Tessarin_out");
    EXPECT_FALSE(IsDir(out + "/Tessarin_out"));
    EXPECT_FALSE(IsDir(out + "/_pic.bmp"));

    // A missing folder: shown as it is with makeDir, else as the desktop.
    s.makeFolder = 0;
    s.savePath = root + "/later/deeper";
    s.makeDir = 1;
    EXPECT_EQ(DescribeOutputFolder("", s), root + "/later/deeper");
    s.makeDir = 0;
    EXPECT_EQ(DescribeOutputFolder("", s), home);
    EXPECT_FALSE(IsDir(root + "/later"));
    s.relative = 1;
    s.dirLevel = 1;
    EXPECT_EQ(DescribeOutputFolder("/a/b/c/img.png", s), "/a/b");
}

SplitSettings Rule(NameFormat format, int first, int digits, bool reverse = false) {
    SplitSettings s;
    s.nameFormat = format;
    s.firstNumber = first;
    s.digits = digits;
    s.reverse = reverse ? 1 : 0;
    return s;
}

TEST(Naming, RowColAndColRow) {
    SplitSettings s = Rule(NameFormat::RowCol, 1, 2);
    EXPECT_EQ(BuildTileFileName("/out", "photo", ".jpg", 2, 0, 4, 3, s), "/out/photo_01_03.jpg");
    s.reverse = 1;
    EXPECT_EQ(BuildTileFileName("/out", "photo", ".jpg", 2, 0, 4, 3, s), "/out/photo_01_02.jpg");
    s = Rule(NameFormat::ColRow, 1, 2);
    EXPECT_EQ(BuildTileFileName("/out", "photo", ".jpg", 2, 0, 4, 3, s), "/out/photo_03_01.jpg");
    s = Rule(NameFormat::ColRow, 0, 0, true);
    EXPECT_EQ(BuildTileFileName("/out", "p", ".PNG", 0, 2, 4, 3, s), "/out/p_3_2.PNG");
    EXPECT_EQ(BuildTileFileName("/", "p", ".gif", 0, 0, 1, 1, s), "/p_0_0.gif");
}

TEST(Naming, CountedNumbersOnAFourByThreeGrid) {
    auto names = [](const SplitSettings& s) {
        std::string all;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) {
                std::string name = BuildTileFileName("/o", "t", ".bmp", c, r, 4, 3, s);
                all += name.substr(5, name.size() - 9) + (c == 3 ? "\n" : " ");
            }
        }
        return all;
    };
    EXPECT_EQ(names(Rule(NameFormat::AcrossCount, 0, 0)), "0 1 2 3\n4 5 6 7\n8 9 10 11\n");
    EXPECT_EQ(names(Rule(NameFormat::AcrossCount, 0, 0, true)), "3 2 1 0\n7 6 5 4\n11 10 9 8\n");
    EXPECT_EQ(names(Rule(NameFormat::DownCount, 0, 0)), "0 3 6 9\n1 4 7 10\n2 5 8 11\n");
    EXPECT_EQ(names(Rule(NameFormat::DownCount, 1, 2, true)),
              "10 07 04 01\n11 08 05 02\n12 09 06 03\n");
}

TEST(Naming, PaddingCountsTheSign) {
    SplitSettings s = Rule(NameFormat::AcrossCount, -1, 3);
    EXPECT_EQ(BuildTileFileName("/o", "a", ".png", 0, 0, 2, 2, s), "/o/a_-01.png");
    EXPECT_EQ(BuildTileFileName("/o", "a", ".png", 1, 0, 2, 2, s), "/o/a_000.png");
    EXPECT_EQ(BuildTileFileName("/o", "a", ".png", 1, 1, 2, 2, s), "/o/a_002.png");
    s = Rule(NameFormat::RowCol, -1000, 3);
    EXPECT_EQ(BuildTileFileName("/o", "a", ".png", 0, 0, 1, 1, s), "/o/a_-1000_-1000.png");
    s = Rule(NameFormat::RowCol, 5, 1);
    EXPECT_EQ(BuildTileFileName("/o", "a", ".png", 0, 0, 1, 1, s), "/o/a_5_5.png");
    s = Rule(NameFormat::RowCol, 5, -4);  // no padding, never space padding
    EXPECT_EQ(BuildTileFileName("/o", "a", ".png", 0, 0, 1, 1, s), "/o/a_5_5.png");
}

TEST(Naming, LargeNumbersDoNotOverflow) {
    SplitSettings s = Rule(NameFormat::RowCol, 2147483647, 0);
    EXPECT_EQ(BuildTileFileName("/o", "a", ".png", 1, 1, 2, 2, s),
              "/o/a_2147483648_2147483648.png");
    s = Rule(NameFormat::AcrossCount, -2147483647 - 1, 0);
    EXPECT_EQ(BuildTileFileName("/o", "a", ".png", 0, 0, 2, 2, s), "/o/a_-2147483648.png");
    s = Rule(NameFormat::AcrossCount, 0, 0);
    EXPECT_EQ(BuildTileFileName("/o", "a", ".png", 99999, 99999, 100000, 100000, s),
              "/o/a_9999999999.png");
    s = Rule(NameFormat::RowCol, 1, 2147483647);
    const std::string huge = BuildTileFileName("/o", "a", ".png", 0, 0, 1, 1, s);
    EXPECT_LT(huge.size(), 10000u);
    EXPECT_FALSE(PathFitsFileSystem(huge));
}

TEST(Naming, PathFitsFileSystem) {
    EXPECT_TRUE(PathFitsFileSystem("/out/photo_01_01.jpg"));
    EXPECT_TRUE(PathFitsFileSystem("/out/" + std::string(255, 'n')));
    EXPECT_FALSE(PathFitsFileSystem("/out/" + std::string(256, 'n')));
    EXPECT_FALSE(PathFitsFileSystem("/out/" + std::string(300, 'n') + ".png"));
    EXPECT_FALSE(PathFitsFileSystem("/" + std::string(300, 'd') + "/a.png"));
    EXPECT_FALSE(PathFitsFileSystem(""));
    std::string deep;
    while (deep.size() < 4095 - 101) deep += "/" + std::string(99, 'd');
    deep.resize(4095, 'e');
    deep[deep.size() - 101] = '/';
    EXPECT_TRUE(PathFitsFileSystem(deep));
    EXPECT_FALSE(PathFitsFileSystem(deep + "e"));
}

}  // namespace
}  // namespace tessarin
