#include "split/path_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>

#include "platform/collation.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

bool IsImageName(const std::string& name) {
    for (const char* ext : {".png", ".bmp", ".GIF", ".jpg"})
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ext) == 0) return true;
    return false;
}

// Next and previous follow the folder's own listing order, whatever it is:
// the oracle walks the order ListFolderFiles reports.
TEST(PathList, NextAndPreviousWalkTheListingWithoutWrapping) {
    testing::TempDir dir;
    const std::string root = dir.Path().string();
    const std::vector<std::string> names = {"b.png", "a.bmp",     "notes.txt",
                                            "c.GIF", "d.jpg.txt", "e.jpg"};
    for (const std::string& name : names) testing::WriteBytes(root + "/" + name, {1});
    ASSERT_EQ(::mkdir((root + "/sub.png").c_str(), 0755),
              0);  // a folder is never a target
    ASSERT_EQ(::symlink(root.c_str(), (root + "/link.bmp").c_str()), 0);

    std::vector<std::string> listed = ListFolderFiles(root);
    std::vector<std::string> order;
    for (const std::string& path : listed) order.push_back(path.substr(root.size() + 1));
    std::vector<std::string> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(sorted, expected);

    for (size_t i = 0; i < order.size(); ++i) {
        std::string next, previous;
        for (size_t j = i + 1; j < order.size() && next.empty(); ++j)
            if (IsImageName(order[j])) next = root + "/" + order[j];
        for (size_t j = i; j-- > 0 && previous.empty();)
            if (IsImageName(order[j])) previous = root + "/" + order[j];
        const std::string current = root + "/" + order[i];
        EXPECT_EQ(NeighbourImageFile(current, StepDirection::Next), next) << order[i];
        EXPECT_EQ(NeighbourImageFile(current, StepDirection::Previous), previous) << order[i];
    }
    // The current file is found by its exact name only.
    EXPECT_EQ(NeighbourImageFile(root + "/B.PNG", StepDirection::Next), "");
    EXPECT_EQ(NeighbourImageFile(root + "/gone.png", StepDirection::Previous), "");
    EXPECT_EQ(NeighbourImageFile(root + "/missing/a.bmp", StepDirection::Next), "");
}

TEST(PathList, FoldersExpandToTheirFilesOnly) {
    testing::TempDir dir;
    const std::string root = dir.Path().string();
    const std::string full = root + "/full", empty = root + "/empty";
    ASSERT_EQ(::mkdir(full.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(empty.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((full + "/inner").c_str(), 0755), 0);
    testing::WriteBytes(full + "/x.png", {1});
    testing::WriteBytes(full + "/inner/deep.png", {1});
    testing::WriteBytes(root + "/single.bmp", {1});

    const std::vector<std::string> out =
        ExpandFolders({full + "/", root + "/single.bmp", empty, root + "/absent.gif"});
    EXPECT_EQ(out, (std::vector<std::string>{full + "/x.png", root + "/single.bmp",
                                             root + "/absent.gif"}));
}

// Names in name order, with the rule that places some of them: the locale's
// collation (ICU's root order here), case ignored, numbers by value, then
// leading zeros and raw bytes to break ties.
const std::vector<std::string> kNameOrder = {
    "0.png",
    "00.png",  // the same number with more leading zeros
    "9.png",
    "10.png",            // numbers by value
    "\xC3\xA9mile.png",  // U+00E9: "émile" with the e's, before any i
    "img_1.png",         // '_' comes before '.' and the digits
    "img.png",           // '.' comes before the digits
    "img1.png",
    "IMG2.png",   // case is ignored...
    "img2.png",   // ...until the raw bytes break the tie
    "img02.png",  // leading zeros after
    "img10.png",
    "img99999999999999999999999.png",  // longer than any machine integer
    "imgB.png",
    "imgb.png",
    "img\xC3\x89.png",  // U+00C9: an accented letter sorts by its letter...
    "img\xC3\xA9.png",  // U+00E9: ...and the raw bytes break the tie
    "imgf.png",
    "v1.02.png",  // the first run with more zeros decides
    "v01.2.png",
    "Zeta.png",
    "z\xFF.png",  // a byte that is no UTF-8 still has its place
};

// Each pair in both directions: a strict total order that is this list's.
TEST(PathList, NameOrderIsTotalAndFollowsNumbersWithoutCase) {
    for (size_t i = 0; i < kNameOrder.size(); ++i)
        for (size_t j = 0; j < kNameOrder.size(); ++j)
            EXPECT_EQ(NameOrderLess(kNameOrder[i], kNameOrder[j]), i < j)
                << kNameOrder[i] << " / " << kNameOrder[j];
}

// The collation's locale comes from LC_ALL, LC_COLLATE and LANG, without
// codeset or modifier; C and POSIX take ICU's root order.
TEST(PathList, CollationLocaleFollowsTheEnvironment) {
    const char* names[] = {"LC_ALL", "LC_COLLATE", "LANG"};
    std::vector<std::optional<std::string>> saved;
    for (const char* name : names) {
        const char* value = std::getenv(name);
        saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
    }
    struct Case {
        const char *all, *collate, *lang, *expected;
    };
    for (const Case& c :
         {Case{"de_DE.UTF-8@euro", "sv_SE", "ja_JP", "de_DE"},
          Case{"", "sv_SE.UTF-8", "ja_JP.UTF-8", "sv_SE"}, Case{"", "", "ja_JP.UTF-8", "ja_JP"},
          Case{"C", "de_DE", "", ""}, Case{"", "POSIX", "de_DE", ""}, Case{"", "C.UTF-8", "", ""},
          Case{"", "", "", ""}}) {
        ::setenv("LC_ALL", c.all, 1);
        ::setenv("LC_COLLATE", c.collate, 1);
        ::setenv("LANG", c.lang, 1);
        EXPECT_EQ(CollationLocale(), c.expected) << c.all << "|" << c.collate << "|" << c.lang;
    }
    for (size_t i = 0; i < saved.size(); ++i) {
        if (saved[i])
            ::setenv(names[i], saved[i]->c_str(), 1);
        else
            ::unsetenv(names[i]);
    }
}

// Files made in an order of their own come back in name order, and next and
// previous step along it.
TEST(PathList, FolderListingsAndStepsFollowNameOrder) {
    testing::TempDir dir;
    const std::string root = dir.Path().string();
    std::vector<std::string> made = kNameOrder;
    std::shuffle(made.begin(), made.end(), std::mt19937(3));
    for (const std::string& name : made) testing::WriteBytes(root + "/" + name, {1});
    ASSERT_EQ(::mkdir((root + "/img3.png").c_str(), 0755), 0);

    std::vector<std::string> expected;
    for (const std::string& name : kNameOrder) expected.push_back(root + "/" + name);
    EXPECT_EQ(ExpandFolders({root}), expected);
    EXPECT_EQ(NeighbourImageFile(root + "/img2.png", StepDirection::Next), root + "/img02.png");
    EXPECT_EQ(NeighbourImageFile(root + "/img10.png", StepDirection::Previous),
              root + "/img02.png");
}

}  // namespace
}  // namespace tessarin
