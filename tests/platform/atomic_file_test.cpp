#include "platform/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "support/test_files.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// Whatever already has the name (a file, a folder, a link to a file, a link
// to nothing) makes the creation fail, and what the link points at is not
// touched.
TEST(AtomicFile, ExclusiveCreationRefusesEveryExistingName) {
    TempDir dir;
    WriteBytes(dir / "victim", {'v'});
    WriteBytes(dir / "file", {'f'});
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "victim", dir / "link");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    for (const char* name : {"file", "folder", "link", "dangling"}) {
        EXPECT_LT(CreateExclusiveFile(dir / name), 0) << name;
        EXPECT_EQ(errno, EEXIST) << name;
    }
    EXPECT_EQ(ReadBytes(dir / "victim"), (std::vector<uint8_t>{'v'}));
    EXPECT_FALSE(fs::exists(dir / "nowhere"));

    const mode_t old = ::umask(027);
    const int fd = CreateExclusiveFile(dir / "new");
    ::umask(old);
    ASSERT_GE(fd, 0);
    struct stat st {};
    ASSERT_EQ(::fstat(fd, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
    ::close(fd);
}

TEST(AtomicFile, TemporaryNamesAreUnguessableAndCarryThePid) {
    TempDir dir;
    std::set<std::string> randomParts;
    for (int i = 0; i < 50; ++i) {
        AtomicFile file;
        ASSERT_TRUE(file.Create(dir.Path().string()));
        const std::string name = fs::path(file.TemporaryPath()).filename();
        EXPECT_EQ(fs::path(file.TemporaryPath()).parent_path(), dir.Path());
        pid_t pid = 0;
        ASSERT_TRUE(ParseTemporaryFileName(name, pid)) << name;
        EXPECT_EQ(pid, ::getpid());
        const std::string random = name.substr(name.rfind('-') + 1, 16);
        EXPECT_EQ(name, ".tessarin-" + std::to_string(pid) + "-" + random + ".part");
        randomParts.insert(random);
    }
    EXPECT_EQ(randomParts.size(), 50u);
    EXPECT_TRUE(testing::FileNames(dir.Path()).empty());  // each one removed with its object
}

TEST(AtomicFile, CommitPutsTheFileInPlaceAndFailureLeavesNothing) {
    TempDir dir;
    WriteBytes(dir / "target", {'o', 'l', 'd'});
    {
        AtomicFile file;
        ASSERT_TRUE(file.CreateFor(dir / "target"));
        ASSERT_EQ(::write(file.Descriptor(), "new", 3), 3);
        ASSERT_TRUE(file.Commit(dir / "target", true));
        EXPECT_TRUE(file.TemporaryPath().empty());
    }
    EXPECT_EQ(ReadBytes(dir / "target"), (std::vector<uint8_t>{'n', 'e', 'w'}));

    // A folder, a pipe or a link under the name: the first two stay, the link
    // itself is replaced and its target is untouched.
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_symlink(dir / "target", dir / "link");
    for (auto [name, committed] : {std::pair{"folder", false}, {"pipe", false}, {"link", true}}) {
        AtomicFile file;
        ASSERT_TRUE(file.Create(dir.Path().string()));
        ASSERT_EQ(::write(file.Descriptor(), "x", 1), 1);
        EXPECT_EQ(file.Commit(dir / name, false), committed) << name;
    }
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
    EXPECT_FALSE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(ReadBytes(dir / "link"), (std::vector<uint8_t>{'x'}));
    EXPECT_EQ(ReadBytes(dir / "target"), (std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(testing::FileNames(dir.Path()),
              (std::vector<std::string>{"folder", "link", "pipe", "target"}));
}

TEST(AtomicFile, TemporaryFileNames) {
    struct Case {
        const char* name;
        pid_t pid;  // 0: not ours
    };
    for (Case c : {Case{".tessarin-42-0123456789abcdef.part", 42},
                   Case{".tessarin-7-12.part", 7},  // an earlier version's counter
                   Case{".tessarin-42-0123456789ABCDEF.part", 0},
                   Case{".tessarin-42-0123456789abcdef0.part", 0}, Case{".tessarin-42-.part", 0},
                   Case{".tessarin--ab.part", 0}, Case{".tessarin-0-ab.part", 0},
                   Case{".tessarin-99999999999-ab.part", 0}, Case{".tessarin-42-ab.tmp", 0},
                   Case{"tessarin-42-ab.part", 0}, Case{".tessarin-4x2-ab.part", 0},
                   Case{".tessarin-42-ab.part.bmp", 0}}) {
        pid_t pid = 0;
        EXPECT_EQ(ParseTemporaryFileName(c.name, pid), c.pid != 0) << c.name;
        if (c.pid) {
            EXPECT_EQ(pid, c.pid) << c.name;
        }
    }
}

// The clean-up goes by the writers' locks, not by the pid in a name: a run in
// another PID namespace or on another machine has pids unknown here. So a
// file held by a live writer stays whatever pid its name carries and however
// old it looks; of the files nobody holds, only an old regular one named like
// ours goes, and a link named like ours is neither followed nor removed.
TEST(AtomicFile, CleanUpRemovesOnlyOldFilesNoWriterHolds) {
    TempDir dir;
    const std::string foreign = ".tessarin-2000000000-";  // no process has this pid here
    AtomicFile live;
    ASSERT_TRUE(live.Create(dir.Path().string()));
    ASSERT_EQ(::rename(live.TemporaryPath().c_str(), (dir / (foreign + "1.part")).c_str()), 0);
    WriteBytes(dir / (foreign + "2.part"), {'o'});
    WriteBytes(dir / (foreign + "3.part"), {'f'});
    WriteBytes(dir / "victim", {'v'});
    fs::create_symlink(dir / "victim", dir / (foreign + "4.part"));
    WriteBytes(dir / (foreign + "5.part.bmp"), {'n'});
    const timespec old[2] = {{::time(nullptr) - kStaleTemporaryFileSeconds - 60, 0},
                             {::time(nullptr) - kStaleTemporaryFileSeconds - 60, 0}};
    for (const std::string name : {"1.part", "2.part", "4.part", "5.part.bmp"})
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / (foreign + name)).c_str(), old, AT_SYMLINK_NOFOLLOW),
                  0);
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "victim").c_str(), old, 0), 0);

    RemoveStaleTemporaryFiles(dir.Path().string());
    EXPECT_EQ(testing::FileNames(dir.Path()),
              (std::vector<std::string>{foreign + "1.part", foreign + "3.part", foreign + "4.part",
                                        foreign + "5.part.bmp", "victim"}));
    EXPECT_EQ(ReadBytes(dir / "victim"), (std::vector<uint8_t>{'v'}));
}

}  // namespace
}  // namespace tessarin
