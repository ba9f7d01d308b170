#include "platform/process.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "platform/paths.h"

extern char** environ;

namespace tessarin {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return access(path.c_str(), X_OK) == 0;
}

std::string SearchPath() {
    if (const char* path = std::getenv("PATH")) return path;
    // No PATH at all: the system's default search, as execvp uses.
    size_t size = confstr(_CS_PATH, nullptr, 0);
    if (size == 0) return "/bin:/usr/bin";
    std::string path(size, '\0');
    confstr(_CS_PATH, path.data(), size);
    path.resize(size - 1);
    return path;
}

// The file to start for `name`, or empty when there is none.
std::string FindProgram(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return name;
    const std::string own = ProgramFolder();
    if (!own.empty() && IsExecutableFile(own + "/" + name)) return own + "/" + name;
    const std::string path = SearchPath();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        // An empty element means the current folder, as in execvp.
        std::string folder = end > start ? path.substr(start, end - start) : std::string(".");
        std::string candidate = folder + "/" + name;
        if (IsExecutableFile(candidate)) return candidate;
        start = end + 1;
    }
    return {};
}

// Starts `program` and returns its process id, or -1. The child is killed
// when the thread that started it ends, so a tool never outlives a run that
// was killed (a lossless cut would otherwise go on writing its tile). Only
// async-signal-safe calls are made between fork and exec: this process has
// other threads.
pid_t Spawn(const std::string& program, char* const argv[], int input) {
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) return pid;  // the parent, or -1 when no child was made

    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) ::_exit(127);
    const int in = input >= 0 ? input : ::open("/dev/null", O_RDONLY);
    const int out = ::open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || ::dup2(in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
        ::dup2(out, STDERR_FILENO) < 0)
        ::_exit(127);
    if (in > STDERR_FILENO) ::close(in);
    if (out > STDERR_FILENO) ::close(out);
    // The tool starts with no blocked signals and the default SIGPIPE
    // action, whatever this process has set for itself.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    ::sigemptyset(&defaultAction.sa_mask);
    ::sigaction(SIGPIPE, &defaultAction, nullptr);
    sigset_t noSignals;
    ::sigemptyset(&noSignals);
    ::sigprocmask(SIG_SETMASK, &noSignals, nullptr);
    ::execve(program.c_str(), argv, environ);
    ::_exit(127);
}

}  // namespace

bool RunExternalCommand(const std::vector<std::string>& args, int input) noexcept {
    try {
        if (args.empty()) return false;
        const std::string program = FindProgram(args[0]);
        if (program.empty()) return false;
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const pid_t pid = Spawn(program, argv.data(), input);
        if (pid < 0) return false;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR) return false;
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    } catch (...) {
        return false;
    }
}

}  // namespace tessarin
