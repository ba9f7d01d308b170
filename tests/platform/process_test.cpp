#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/paths.h"
#include "support/test_files.h"

namespace tessarin {
namespace {

namespace fs = std::filesystem;

class ProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* path = std::getenv("PATH")) oldPath_ = path;
    }
    void TearDown() override { setenv("PATH", oldPath_.c_str(), 1); }
    std::string Script(const std::string& folder, const std::string& name,
                       const std::string& body) {
        fs::create_directories(folder);
        const std::string path = folder + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        chmod(path.c_str(), 0755);
        return path;
    }
    std::string Read(const std::string& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    testing::TempDir temp_;
    const std::string dir_ = temp_.Path().string();
    std::string oldPath_;
};

TEST_F(ProcessTest, SuccessIsExitCodeZero) {
    EXPECT_TRUE(RunExternalCommand({"true"}));
    EXPECT_TRUE(RunExternalCommand({"/bin/true"}));
    EXPECT_FALSE(RunExternalCommand({"false"}));
    EXPECT_FALSE(RunExternalCommand({"sh", "-c", "exit 3"}));
    EXPECT_FALSE(RunExternalCommand({"sh", "-c", "kill -9 $$"}));
    EXPECT_FALSE(RunExternalCommand({"tessarin-no-such-program"}));
    EXPECT_FALSE(RunExternalCommand({dir_ + "/nothing"}));
    EXPECT_FALSE(RunExternalCommand({}));
}

TEST_F(ProcessTest, ArgumentsArriveIntact) {
    const std::vector<std::string> args = {"two words", "\"quoted\"",  "it's",
                                           "$HOME",     "back\\slash", "*",
                                           "",          "; rm -rf x",  "日本語.jpg"};
    std::vector<std::string> command = {"sh", "-c", "printf '%s\\n' \"$@\" > \"$0\"",
                                        dir_ + "/args.txt"};
    command.insert(command.end(), args.begin(), args.end());
    ASSERT_TRUE(RunExternalCommand(command));
    std::string expected;
    for (const auto& a : args) expected += a + "\n";
    EXPECT_EQ(Read(dir_ + "/args.txt"), expected);
}

TEST_F(ProcessTest, StandardStreamsAreTheNullDevice) {
    ASSERT_TRUE(RunExternalCommand(
        {"sh", "-c",
         "r=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2); echo \"$r\" > \"$0\"",
         dir_ + "/fds"}));
    EXPECT_EQ(Read(dir_ + "/fds"), "/dev/null\n/dev/null\n/dev/null\n");
}

TEST_F(ProcessTest, ProgramFolderComesBeforePath) {
    const std::string name = "tessarin-process-test-" + std::to_string(getpid());
    Script(dir_ + "/bin", name, "exit 1\n");
    setenv("PATH", (dir_ + "/bin").c_str(), 1);
    EXPECT_FALSE(RunExternalCommand({name}));
    const std::string own = Script(ProgramFolder(), name, "exit 0\n");
    EXPECT_TRUE(RunExternalCommand({name}));
    fs::remove(own);
    // Not executable: skipped.
    Script(dir_ + "/bin", "plain", "exit 0\n");
    chmod((dir_ + "/bin/plain").c_str(), 0644);
    EXPECT_FALSE(RunExternalCommand({"plain"}));
}

// A run killed while a tool works (kill -9 during a lossless cut) takes the
// tool with it: the tool is not left writing on its own.
TEST_F(ProcessTest, ProgramDiesWithTheProcessThatStartedIt) {
    // Orphans come to this process, so the tool's end can be waited for here.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const std::string pidFile = dir_ + "/tool.pid";
    const pid_t runner = ::fork();
    ASSERT_GE(runner, 0);
    if (runner == 0) {
        const bool ran =
            RunExternalCommand({"sh", "-c", "echo $$ > \"$0\"; exec sleep 30", pidFile});
        ::_exit(ran ? 0 : 1);
    }
    pid_t tool = 0;
    for (int i = 0; i < 500 && tool == 0; ++i) {
        std::istringstream(Read(pidFile)) >> tool;
        if (tool == 0) ::usleep(10000);
    }
    ::kill(runner, SIGKILL);
    ::waitpid(runner, nullptr, 0);
    ASSERT_GT(tool, 0);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 500 && ended == 0; ++i) {
        ended = ::waitpid(tool, &status, WNOHANG);
        if (ended == 0) ::usleep(10000);
    }
    if (ended == 0) ::kill(tool, SIGKILL), ::waitpid(tool, nullptr, 0);
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    ASSERT_EQ(ended, tool) << "the tool outlived the run";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

}  // namespace
}  // namespace tessarin
